#include "import/scoring.h"

#include <string>

#include "db/statements.h"
#include "import/value_compare.h"
#include "jet/error.h"

namespace import_task {
namespace {

// ASCII upper case, as the laboratory's one-letter statuses are written.
std::string UpperText(const jet::Value& status) {
  if (status.IsNull()) return "";
  std::string text = db::ConcatText(status);
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

bool InRange(const std::string& text, const char* low, const char* high) {
  return text >= low && text <= high;
}

// Null counts as "not K or L"; the status is compared as stored, upper case only.
ScorePart CertificatePoints(const Version& version) {
  if (!Read(version.cert_no).IsNull()) return {"Cert_No", 1};
  const jet::Value& status = version.status;
  if (status.Is<std::string>() &&
      (status.As<std::string>() == "K" || status.As<std::string>() == "L")) {
    return {"no Cert_No, status " + status.As<std::string>(), 1};
  }
  return {"no Cert_No", -3};
}

ScorePart StatusPoints(const jet::Value& status) {
  return {"status " + (status.IsNull() ? std::string("Null") : db::ConcatText(status)),
          StatusWeight(status)};
}

}  // namespace

const jet::Value& Read(const FieldRead& field) {
  if (!field) jet::ThrowStandard(jet::kErrItemNotFound);
  return *field;
}

int StatusWeight(const jet::Value& status) {
  const std::string text = UpperText(status);
  if (text.empty()) return 0;
  if (InRange(text, "A", "C") || text == "O" || text == "P") return 0;
  if (InRange(text, "D", "H")) return 1;
  if (text == "I" || text == "J") return 2;
  if (text == "K" || text == "L" || text == "T") return 3;
  if (text == "N" || text == "M") return 5;
  return 0;
}

Scores ScoreVersions(const Version& mobile, const Version& home, tasks::FailureRule& rule,
                     const std::function<void()>& log_clash) {
  Scores s;
  const auto give_mobile = [&](const ScorePart& part) {
    s.mobile += part.points;
    s.mobile_parts.points = s.mobile;
    s.mobile_parts.parts.push_back(part);
  };
  const auto give_home = [&](const ScorePart& part) {
    s.home += part.points;
    s.home_parts.points = s.home;
    s.home_parts.parts.push_back(part);
  };
  // Dates and times: a value that cannot be read as a date ends these steps.
  try {
    if (Read(mobile.cal_date).IsNull()) give_mobile({"Cal_Date Null", -1});
    if (Read(home.cal_date).IsNull()) give_home({"Cal_Date Null", -1});
    if (!Read(mobile.cal_date).IsNull() && !Read(home.cal_date).IsNull()) {
      const double m = AsDate(Read(mobile.cal_date));
      const double h = AsDate(Read(home.cal_date));
      if (m > h) give_mobile({"later Cal_Date", 2});
      if (h > m) give_home({"later Cal_Date", 2});
    }
    if (Read(mobile.test_time).IsNull()) give_mobile({"Test_Time Null", -1});
    if (Read(home.test_time).IsNull()) give_home({"Test_Time Null", -1});
    if (!Read(mobile.test_time).IsNull() && !Read(home.test_time).IsNull()) {
      const double m = AsDate(Read(mobile.test_time));
      const double h = AsDate(Read(home.test_time));
      if (m > h) give_mobile({"later Test_Time", 1});
      if (h > m) give_home({"later Test_Time", 1});
    }
  } catch (const jet::Error& e) {
    // The points given so far stay; scoring goes on with the certificates.
    s.dates_failure = "date and time steps stopped: " + e.description();
  }

  rule.SetPolicy(tasks::OnFailure::kSkip);
  rule.Run([&] {
    if (!Read(mobile.cert_no).IsNull() && !Read(home.cert_no).IsNull() &&
        Unequal(Read(mobile.cert_no), Read(home.cert_no))) {
      give_home({"certificate clash", 10});
      s.clash = true;
      log_clash();
    }
  });
  rule.Run([&] { give_mobile(CertificatePoints(mobile)); });
  rule.Run([&] { give_home(CertificatePoints(home)); });
  rule.Run([&] { give_home(StatusPoints(home.status)); });
  rule.Run([&] { give_mobile(StatusPoints(mobile.status)); });
  return s;
}

}  // namespace import_task
