// The skip rule of the windows' load steps: a step that fails is skipped without a message
// and the next one runs.
#pragma once

#include <functional>
#include <initializer_list>

namespace app {

void RunSteps(std::initializer_list<std::function<void()>> steps);

}  // namespace app
