#include "platform/ServiceNotice.h"

#include "platform/Socket.h"
#include "platform/Window.h"

#include <cerrno>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

namespace platform {

namespace {

constexpr UINT kDeliver = WM_USER + 0x5151;

struct Subscriber {
    int id = 0;
    HWND window = nullptr;
    ServiceNoticeSink sink;
    std::deque<ServiceNotice> queue;  // guarded by the registry's mutex
};

struct Registry {
    std::mutex mutex;
    std::vector<std::shared_ptr<Subscriber>> subscribers;
    std::optional<ServiceNotice> latest;
    int nextId = 1;
};

Registry& registry() {
    static Registry r;
    return r;
}

LRESULT deliverProc(HWND window, UINT message, WPARAM, LPARAM) {
    if (message != kDeliver) return 0;
    auto* subscriber = static_cast<Subscriber*>(windowUserData(window));
    if (!subscriber) return 0;
    for (;;) {
        ServiceNotice notice;
        {
            std::lock_guard lock(registry().mutex);
            if (subscriber->queue.empty()) break;
            notice = std::move(subscriber->queue.front());
            subscriber->queue.pop_front();
        }
        subscriber->sink(notice);
    }
    return 0;
}

}  // namespace

void publishServiceNotice(const ServiceNotice& notice) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.latest = notice;
    for (auto& subscriber : r.subscribers) {
        subscriber->queue.push_back(notice);
        postMessage(subscriber->window, kDeliver, 0, 0);
    }
}

int subscribeServiceNotices(ServiceNoticeSink sink) {
    auto subscriber = std::make_shared<Subscriber>();
    subscriber->sink = std::move(sink);
    subscriber->window = createWindow(&deliverProc, subscriber.get());
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    subscriber->id = r.nextId++;
    if (r.latest) {
        subscriber->queue.push_back(*r.latest);
        postMessage(subscriber->window, kDeliver, 0, 0);
    }
    r.subscribers.push_back(subscriber);
    return subscriber->id;
}

void unsubscribeServiceNotices(int id) {
    std::shared_ptr<Subscriber> gone;
    {
        Registry& r = registry();
        std::lock_guard lock(r.mutex);
        for (auto it = r.subscribers.begin(); it != r.subscribers.end(); ++it) {
            if ((*it)->id == id) {
                gone = *it;
                r.subscribers.erase(it);
                break;
            }
        }
    }
    if (gone) destroyWindow(gone->window);
}

std::string listenFailureReason(int error, std::uint32_t address, std::uint16_t port) {
    const std::string number = std::to_string(port);
    switch (error) {
        case EADDRINUSE: return "port " + number + " is in use";
        case EACCES: return "port " + number + " needs privileges this user does not have";
        case EADDRNOTAVAIL: return "address " + ipv4ToText(address) + " is not one of this machine's";
        default: return std::string("cannot listen on ") + ipv4ToText(address) + ":" + number + ": " + std::strerror(error);
    }
}

}  // namespace platform
