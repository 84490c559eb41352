// The time written into files: a database's creation date, its objects' dates, the tasks' logs.
// SOURCE_DATE_EPOCH (the reproducible-output convention) pins it, so that the same steps run
// twice, on any system, write the same bytes; that is how the Windows build is compared with
// the Linux build.
#pragma once

#include <ctime>

namespace jet {

// Now; or, when SOURCE_DATE_EPOCH holds a whole number of seconds since 1970, that moment.
std::time_t StampTime();

}  // namespace jet
