// The scoring rule that settles two differing versions of one calibration: later dates and
// times, a certificate number and the instrument's status earn points, and the on-site
// version replaces the main one only with strictly more points. A clash of two different
// certificate numbers gives the main version ten points, so it is always kept, and is logged.
#pragma once

#include <functional>
#include <optional>

#include "import/import_report.h"
#include "jet/value.h"
#include "tasks/failure_rule.h"

namespace import_task {

// Points for the instrument's status, upper-cased first (ranges in character-code order).
int StatusWeight(const jet::Value& status);

// A field as read from a version's row: empty when the read failed (a field the table lacks),
// so that the failure counts against the scoring step that uses the value, not before it.
using FieldRead = std::optional<jet::Value>;

// One version of a calibration as the scoring sees it.
struct Version {
  FieldRead cal_date;
  FieldRead test_time;
  FieldRead cert_no;
  FieldRead inst_id;
  jet::Value status;  // its instrument's Status; Null when the instrument has no row
};

// The value read; a failed read fails here with 3265.
const jet::Value& Read(const FieldRead& field);

struct Scores {
  int mobile = 0;
  int home = 0;
  bool clash = false;  // two different certificate numbers met
  // The rules that gave each version its points, for the report.
  SideScore mobile_parts;
  SideScore home_parts;
  std::string dates_failure;  // why the date and time steps stopped short, if they did
};

// Scores the on-site and the main version. The date and time steps stop at their first
// failure, keeping the points given so far. The certificate test and the steps after it run
// under `rule`, which the certificate test sets to skip failures: from the first scored pair on,
// the calibration merge skips its failing steps. `log_clash` writes the two warning lines.
Scores ScoreVersions(const Version& mobile, const Version& home, tasks::FailureRule& rule,
                     const std::function<void()>& log_clash);

}  // namespace import_task
