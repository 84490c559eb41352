#include "jet/error.h"

namespace jet {

void ThrowCorrupt(uint32_t page, const std::string& what) {
  throw Error(kErrCorrupt,
              "The database is corrupt: " + what + " (page " + std::to_string(page) + ").");
}

}  // namespace jet
