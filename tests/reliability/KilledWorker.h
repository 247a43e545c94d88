#pragma once

#include <functional>

namespace chengfan::reliability {

// Forks a child that repeats work until it is killed, lets it run for delayNs
// nanoseconds, then kills it with SIGKILL and reaps it. Fails the test when the
// child cannot be started or ended any other way than by that kill; call it
// under ASSERT_NO_FATAL_FAILURE.
void runUntilKilled(const std::function<void()>& work, long delayNs);

}  // namespace chengfan::reliability
