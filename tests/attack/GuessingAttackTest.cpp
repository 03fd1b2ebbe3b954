// Password guessing over the network: after ten wrong credentials from one
// address in a short time, that address is locked out (429 with
// Retry-After) even with the right password, while other addresses are
// served as before.
#include "tests/attack/AttackFixture.h"
#include "tests/support/RawHttp.h"

#include "http/AccessControl.h"
#include "http/HttpLimits.h"

namespace lyrebox::attack {
namespace {

class GuessingAttackTest : public AttackTest {
protected:
    GuessingAttackTest() {
        server.server().setCredentials("ann", "right");
        server.server().setRequirePassword(true);
    }

    test::Answer getFrom(const char* from, const std::string& credentials, const std::string& target = "/getvolume") {
        auto socket = test::connectFrom(from, server.port());
        std::string raw = "GET " + target + " HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n";
        if (!credentials.empty()) raw += "Authorization: Basic " + base64Encode(credentials) + "\r\n";
        raw += "\r\n";
        test::sendText(socket, raw);
        return test::readAnswer(socket);
    }
};

TEST_F(GuessingAttackTest, TenWrongGuessesLockTheAddressOutEvenForTheRightPassword) {
    ASSERT_EQ(getFrom("127.0.0.1", "ann:right").status, 200);
    for (std::size_t i = 0; i < http::kMaxFailedLogins; ++i)
        ASSERT_EQ(getFrom("127.0.0.1", "ann:guess" + std::to_string(i)).status, 401) << i;
    for (const char* credentials : {"ann:right", "ann:guess", ""}) {
        const auto locked = getFrom("127.0.0.1", credentials);
        EXPECT_EQ(locked.status, 429) << credentials;
        const int retryAfter = std::atoi(locked.header("Retry-After").c_str());
        EXPECT_GE(retryAfter, 1) << locked.head;
        EXPECT_LE(retryAfter, 60) << locked.head;
        EXPECT_EQ(locked.header("Content-Type"), "text/plain; charset=utf-8");
        EXPECT_EQ(locked.body.find("100"), std::string::npos) << "no answer of the command";
    }
    // The auth parameter is locked out the same way.
    EXPECT_EQ(getFrom("127.0.0.1", "", "/getvolume?auth=" + base64Encode("ann:right")).status, 429);
    // Another address is not.
    const auto other = getFrom("127.0.0.2", "ann:right");
    EXPECT_EQ(other.status, 200);
    EXPECT_EQ(other.body, "100");
}

TEST_F(GuessingAttackTest, RequestsWithoutCredentialsAreNotGuesses) {
    // A browser asks without credentials first, for every page it opens.
    for (int i = 0; i < 30; ++i) ASSERT_EQ(getFrom("127.0.0.1", "").status, 401) << i;
    EXPECT_EQ(getFrom("127.0.0.1", "ann:right").status, 200);
}

TEST_F(GuessingAttackTest, GuessesSpreadOverAddressesLockEachOnItsOwn) {
    for (std::size_t i = 0; i + 1 < http::kMaxFailedLogins; ++i) {
        getFrom("127.0.0.3", "ann:x");
        getFrom("127.0.0.4", "ann:x");
    }
    EXPECT_EQ(getFrom("127.0.0.3", "ann:right").status, 200);
    getFrom("127.0.0.3", "ann:x");
    EXPECT_EQ(getFrom("127.0.0.3", "ann:right").status, 429);
    EXPECT_EQ(getFrom("127.0.0.4", "ann:right").status, 200);
}

}  // namespace
}  // namespace lyrebox::attack
