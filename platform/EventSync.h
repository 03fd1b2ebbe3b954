// Internal: the process-wide lock and condition variable behind every Event,
// and the wake-up hook that lets threads pumping their message loop notice an
// event being set. Not part of the platform's public interface.
#pragma once

#include <condition_variable>
#include <mutex>

namespace platform::detail {

std::mutex& eventMutex();
std::condition_variable& eventCondition();

// Threads in Event::waitPumping register their loop's wake descriptor here;
// Event::set writes to every registered descriptor. Callers hold eventMutex().
void addEventPumper(int wakeFd);
void removeEventPumper(int wakeFd);
void wakeEventPumpers();

}  // namespace platform::detail
