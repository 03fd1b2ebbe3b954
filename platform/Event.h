// Manual-reset events with the semantics the server and dialog rely on: set()
// releases every waiter and stays set until reset().
//
// All events share one process-wide mutex and condition variable, so a thread
// can wait for any of several events at once (waitAny). Events are set rarely
// (thread starts and stops), so the shared lock costs nothing measurable.
#pragma once

#include <chrono>
#include <initializer_list>

namespace platform {

class Event {
public:
    explicit Event(bool initiallySet = false);
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void set();
    void reset();
    bool isSet() const;

    void wait() const;
    // False on time-out.
    bool waitFor(std::chrono::milliseconds timeout) const;

    // Like wait(), but if the calling thread runs a MessageLoop, messages sent
    // to its windows are dispatched while waiting, so a thread that waits for
    // another thread never deadlocks against it sending to this one.
    void waitPumping() const;

private:
    friend int waitAny(std::initializer_list<const Event*>, std::chrono::milliseconds);
    bool set_;  // guarded by the process-wide event mutex
};

// Waits until one of the events is set; returns its index, or -1 on time-out.
int waitAny(std::initializer_list<const Event*> events,
            std::chrono::milliseconds timeout = std::chrono::milliseconds::max());

}  // namespace platform
