// The program's entry once the application object exists: start-up, then the event loop.
#pragma once

#include <functional>
#include <string>

namespace app {

class Shell;

// Returns the process's exit code: 0 after Exit, 1 when start-up stopped. `register_tasks`
// registers the task windows the program has with the shell before start-up.
int RunProgram(const std::string& program_name,
               const std::function<void(Shell&)>& register_tasks = {});

}  // namespace app
