#include "platform/clock.h"

#include <chrono>
#include <thread>

namespace platform {

double SystemClock::Now() {
  using Seconds = std::chrono::duration<double>;
  return std::chrono::duration_cast<Seconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void SystemClock::Nap() { std::this_thread::sleep_for(std::chrono::milliseconds(10)); }

void WaitSeconds(Clock& clock, double seconds) {
  const double start = clock.Now();
  while (clock.Now() - start <= seconds) clock.Nap();
}

}  // namespace platform
