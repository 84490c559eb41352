#include "jet/stamp_time.h"

#include <cstdlib>
#include <string>

namespace jet {

std::time_t StampTime() {
  if (const char* pinned = std::getenv("SOURCE_DATE_EPOCH"); pinned != nullptr && *pinned != '\0') {
    const std::string text(pinned);
    if (text.size() <= 12 && text.find_first_not_of("0123456789") == std::string::npos) {
      return static_cast<std::time_t>(std::stoll(text));
    }
  }
  return std::time(nullptr);
}

}  // namespace jet
