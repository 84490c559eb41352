// The time source of timed waits, so that the task logic can be run against a clock that a
// test drives.
#pragma once

namespace platform {

class Clock {
 public:
  virtual ~Clock() = default;
  // Seconds from an arbitrary fixed point. It never goes back and does not jump at midnight
  // or when the system's date is changed, so an elapsed time is always the true one.
  virtual double Now() = 0;
  // Called between two readings of a busy wait: gives the processor away for a moment.
  virtual void Nap() = 0;
};

// The system's monotonic clock.
class SystemClock : public Clock {
 public:
  double Now() override;
  void Nap() override;
};

// Returns once more than `seconds` have passed since the call. No input is handled meanwhile;
// whatever else runs is up to the clock's nap (the system clock's lets nothing run).
void WaitSeconds(Clock& clock, double seconds);

}  // namespace platform
