// Word from a module to the user about a service it runs: a plugin's web
// server started on an address and port, or could not start, or stopped.
// The plugin publishes; the host subscribes and shows one line per notice
// (its terminal's status line, or standard error when headless).
//
// publishServiceNotice may be called on any thread. Each subscriber receives
// notices on the thread that subscribed, through a message posted to a window
// of that thread, so the thread's MessageLoop must run; the latest notice is
// also delivered to a subscriber that arrives after it was published.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace platform {

struct ServiceNotice {
    enum class State { Running, Failed, Stopped };
    std::string service;          // "web app"
    State state = State::Stopped;
    std::uint32_t address = 0;    // network byte order; 0: every interface
    std::uint16_t port = 0;
    std::string reason;           // Failed: why ("port 5151 is in use")
    bool needsPassword = false;   // Running: every request must authenticate
    std::string passwordHint;     // how to turn authentication on
    // Pages to name as (label, path), the main page first: {"", "/"},
    // {"touch remote", "/remote"}.
    std::vector<std::pair<std::string, std::string>> pages;
};

using ServiceNoticeSink = std::function<void(const ServiceNotice&)>;

void publishServiceNotice(const ServiceNotice& notice);

// Returns an id for unsubscribeServiceNotices, which must be called on the
// same thread before that thread's loop ends.
int subscribeServiceNotices(ServiceNoticeSink sink);
void unsubscribeServiceNotices(int id);

// The reason text for a listen that failed with errno error on a port.
std::string listenFailureReason(int error, std::uint32_t address, std::uint16_t port);

}  // namespace platform
