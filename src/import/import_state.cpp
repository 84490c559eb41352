#include "import/import_state.h"

#include <limits>

#include "tasks/runtime_errors.h"

namespace import_task {

void CountOne(int32_t& counter) {
  if (counter == std::numeric_limits<int32_t>::max()) tasks::ThrowRuntimeError(tasks::kVbOverflow);
  ++counter;
}

}  // namespace import_task
