#include "import/import_state.h"

#include <limits>

#include "jet/error.h"

namespace import_task {

namespace {
constexpr int kErrOverflow = 6;
}

void CountOne(int32_t& counter) {
  if (counter == std::numeric_limits<int32_t>::max()) throw jet::Error(kErrOverflow, "Overflow");
  ++counter;
}

}  // namespace import_task
