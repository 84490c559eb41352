// SOURCE_DATE_EPOCH pins every date a new database carries (its header's creation date, its
// objects' dates): the same steps then write the same bytes however far apart they run, which
// the comparison of the Linux and the Windows build relies on.
#include "jet/stamp_time.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "jet/create.h"
#include "jet/database.h"
#include "support/fixtures.h"

namespace jet {
namespace {

void SetPinnedTime(const char* value) {
#ifdef _WIN32
  _putenv_s("SOURCE_DATE_EPOCH", value);
#else
  if (*value == '\0') {
    unsetenv("SOURCE_DATE_EPOCH");
  } else {
    setenv("SOURCE_DATE_EPOCH", value, 1);
  }
#endif
}

TEST(StampTimeTest, SourceDateEpochPinsTheDatesOfANewDatabase) {
  const std::string dir = testing_support::TempDir();
  SetPinnedTime("1700000000");
  EXPECT_EQ(StampTime(), 1700000000);
  CreateDatabase(dir + "/first.mdb");
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));  // the dates keep seconds
  CreateDatabase(dir + "/second.mdb");
  {
    auto db = Database::Open(dir + "/first.mdb");
    EXPECT_NEAR(db->header().creation_date, NowAsOleDate(), 1e-9);
  }
  EXPECT_EQ(testing_support::ReadFileBytes(dir + "/first.mdb"),
            testing_support::ReadFileBytes(dir + "/second.mdb"));

  // Anything but a whole number leaves the clock alone.
  SetPinnedTime("yesterday");
  EXPECT_GT(StampTime(), 1700000000 + 86400);
  SetPinnedTime("");
  EXPECT_GT(StampTime(), 1700000000 + 86400);
}

}  // namespace
}  // namespace jet
