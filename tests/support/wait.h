// The one way tests wait: until a condition holds, within a limit. The
// condition is asked at once and then at growing intervals (1 ms up to
// 50 ms), so a quick condition costs little and a slow one (a command that
// asks the X server) is not asked in a tight loop.
#pragma once

#include <algorithm>
#include <chrono>
#include <thread>

namespace testwait {

// Generous by default: a loaded machine may take seconds over what an idle
// one needs.
inline constexpr std::chrono::milliseconds kDefaultLimit{30000};

// True as soon as `done()` holds; false when it still did not after `limit`.
template <typename Condition>
bool WaitUntil(Condition&& done, std::chrono::milliseconds limit = kDefaultLimit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  std::chrono::milliseconds pause{1};
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return done();
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds{50});
  }
  return true;
}

}  // namespace testwait

using testwait::WaitUntil;
