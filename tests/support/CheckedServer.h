// TestServer for GoogleTest suites: a server that does not start, a refused
// connection, or an answer other than 200 to body() fails the test.
#pragma once

#include "tests/support/TestServer.h"

#include <gtest/gtest.h>

namespace lyrebox::test {

class CheckedServer : public TestServer {
public:
    CheckedServer(platform::HWND playerWindow, Options options) : TestServer(playerWindow, std::move(options)) {
        EXPECT_TRUE(started());
    }
    explicit CheckedServer(platform::HWND playerWindow, OnPlayerThread onThread = {})
        : CheckedServer(playerWindow, Options{.onPlayerThread = std::move(onThread)}) {}

    platform::Socket connect() override {
        platform::Socket socket = TestServer::connect();
        EXPECT_TRUE(socket.valid());
        return socket;
    }
    // The body of a GET, after checking that it was answered with 200.
    std::string body(const std::string& target) {
        const Answer answer = get(target);
        EXPECT_EQ(answer.status, 200) << target;
        return answer.body;
    }
};

}  // namespace lyrebox::test
