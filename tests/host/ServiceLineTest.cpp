// The line that says where the web app is: addresses per listening address,
// the open-network warning, failure reasons; and the notice's way from the
// plugin's thread to the host's.
#include "host/ServiceLine.h"
#include "platform/MessageLoop.h"
#include "platform/ServiceNotice.h"
#include "platform/Socket.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cerrno>
#include <thread>

namespace lyrebox::host {
namespace {

using platform::ServiceNotice;
using namespace std::chrono_literals;

std::uint32_t ip(const char* text) { return ::inet_addr(text); }

ServiceNotice running(const char* address, bool password = false) {
    ServiceNotice notice;
    notice.service = "web app";
    notice.state = ServiceNotice::State::Running;
    notice.address = ip(address);
    notice.port = 5151;
    notice.needsPassword = password;
    notice.passwordHint = "HINT";
    notice.pages = {{"", "/"}, {"touch remote", "/remote"}};
    return notice;
}

TEST(ServiceLine, NamesEveryAddressTheServerCanBeReachedOn) {
    const std::vector<std::uint32_t> interfaces = {ip("192.168.1.5"), ip("10.0.0.2")};
    const struct {
        ServiceNotice notice;
        std::vector<std::uint32_t> interfaces;
        const char* want;
    } cases[] = {
        {running("0.0.0.0"), interfaces,
         "web app at http://192.168.1.5:5151/ http://10.0.0.2:5151/, touch remote http://192.168.1.5:5151/remote"
         " - no password: anyone on the network can use it; to set one, HINT"},
        {running("0.0.0.0", true), interfaces,
         "web app at http://192.168.1.5:5151/ http://10.0.0.2:5151/, touch remote http://192.168.1.5:5151/remote"},
        {running("127.0.0.1"), interfaces, "web app at http://127.0.0.1:5151/, touch remote http://127.0.0.1:5151/remote"},
        {running("127.0.0.7"), {}, "web app at http://127.0.0.7:5151/, touch remote http://127.0.0.7:5151/remote"},
        {running("10.0.0.2", true), interfaces, "web app at http://10.0.0.2:5151/, touch remote http://10.0.0.2:5151/remote"},
        // No interface beyond loopback: the machine itself still reaches it,
        // and the server still listens on any network that comes up.
        {running("0.0.0.0"), {},
         "web app at http://127.0.0.1:5151/, touch remote http://127.0.0.1:5151/remote"
         " - no password: anyone on the network can use it; to set one, HINT"},
    };
    for (const auto& c : cases) EXPECT_EQ(serviceLine(c.notice, c.interfaces), c.want);
}

TEST(ServiceLine, SaysWhyTheServerDoesNotRun) {
    ServiceNotice failed = running("0.0.0.0");
    failed.state = ServiceNotice::State::Failed;
    failed.reason = platform::listenFailureReason(EADDRINUSE, 0, 5151);
    EXPECT_EQ(serviceLine(failed, {}), "web app not running: port 5151 is in use");
    ServiceNotice stopped = running("0.0.0.0");
    stopped.state = ServiceNotice::State::Stopped;
    EXPECT_EQ(serviceLine(stopped, {}), "web app stopped");

    const struct {
        int error;
        const char* want;
    } reasons[] = {
        {EADDRINUSE, "port 80 is in use"},
        {EACCES, "port 80 needs privileges this user does not have"},
        {EADDRNOTAVAIL, "address 10.9.9.9 is not one of this machine's"},
        {EMFILE, "cannot listen on 10.9.9.9:80: Too many open files"},
    };
    for (const auto& r : reasons) EXPECT_EQ(platform::listenFailureReason(r.error, ip("10.9.9.9"), 80), r.want);
}

TEST(ServiceLine, ATakenPortFailsWithAddressInUse) {
    platform::Socket taken = platform::Socket::listenTcp(htonl(INADDR_LOOPBACK), 0);
    ASSERT_TRUE(taken.valid());
    int error = 0;
    platform::Socket second = platform::Socket::listenTcp(htonl(INADDR_LOOPBACK), taken.localPort(), &error);
    EXPECT_FALSE(second.valid());
    EXPECT_EQ(error, EADDRINUSE);
}

TEST(ServiceLine, InterfaceAddressesLeaveLoopbackOut) {
    for (std::uint32_t address : interfaceAddresses()) EXPECT_NE(ntohl(address) >> 24, 127u);
}

TEST(ServiceNotices, ArriveOnTheSubscribingThreadInOrderAndLateSubscribersGetTheLatest) {
    std::vector<std::string> seen;
    const auto self = std::this_thread::get_id();
    bool otherThread = false;
    const int id = platform::subscribeServiceNotices([&](const ServiceNotice& n) {
        otherThread = otherThread || std::this_thread::get_id() != self;
        seen.push_back(n.reason);
    });
    std::thread publisher([] {
        for (const char* reason : {"one", "two", "three"}) {
            ServiceNotice n;
            n.reason = reason;
            platform::publishServiceNotice(n);
        }
    });
    publisher.join();
    for (int i = 0; i < 200 && seen.size() < 3; ++i) platform::MessageLoop::current().processOnce(10ms);
    EXPECT_EQ(seen, (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_FALSE(otherThread);
    platform::unsubscribeServiceNotices(id);

    std::vector<std::string> late;
    const int lateId = platform::subscribeServiceNotices([&](const ServiceNotice& n) { late.push_back(n.reason); });
    for (int i = 0; i < 200 && late.empty(); ++i) platform::MessageLoop::current().processOnce(10ms);
    EXPECT_EQ(late, (std::vector<std::string>{"three"}));
    platform::unsubscribeServiceNotices(lateId);
    // Gone subscribers hear nothing more.
    platform::publishServiceNotice(ServiceNotice{});
    platform::MessageLoop::current().processOnce(10ms);
    EXPECT_EQ(seen.size(), 3u);
    EXPECT_EQ(late.size(), 1u);
}

}  // namespace
}  // namespace lyrebox::host
