#include "app/window_steps.h"

#include <exception>

namespace app {

void RunSteps(std::initializer_list<std::function<void()>> steps) {
  for (const auto& step : steps) {
    try {
      step();
    } catch (const std::exception&) {
      // The skip rule: the load goes on with the next step.
    }
  }
}

}  // namespace app
