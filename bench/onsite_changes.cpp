#include "onsite_changes.h"

#include "db/dao.h"
#include "db/schema.h"
#include "db/statements.h"

namespace bench {
namespace {

namespace schema = db::schema;

jet::Value ShiftedDate(const jet::Value& value, double days) {
  const double base = value.Is<jet::DateTime>() ? value.As<jet::DateTime>().days : 40000.0;
  return jet::DateTime{base + days};
}

// Another certificate number of the same length, so that it fits the field.
jet::Value OtherCertificate(const jet::Value& value) {
  std::string text = value.Is<std::string>() ? value.As<std::string>() : "";
  if (text.empty()) text = "C0";  // Null or empty: a certificate where main has none
  text.back() = text.back() == 'Z' ? 'Y' : 'Z';
  return text;
}

// Remeasures the certificate's first result line on site, so that the version that wins brings
// a changed line with it. Returns the lines changed.
int64_t ChangeFirstResultLine(db::Database& onsite, const jet::Value& cert_no) {
  if (cert_no.IsNull()) return 0;
  db::Recordset lines = onsite.OpenRecordset(db::ImportResultsSql(db::ConcatText(cert_no)));
  int64_t changed = 0;
  if (!lines.Eof()) {
    const jet::Value measured = lines.Fields("Measured").Value();
    lines.Edit();
    lines.Fields("Measured").SetValue((measured.Is<double>() ? measured.As<double>() : 0) + 0.001);
    lines.Update();
    changed = 1;
  }
  lines.Close();
  return changed;
}

}  // namespace

Changes ChangeOnSiteCalibrations(const std::string& onsite_path) {
  Changes changes;
  db::Database onsite = db::DBEngine().OpenDatabase(onsite_path);
  db::Recordset rs = onsite.OpenRecordset(schema::kCalibrations);
  int64_t changed = 0;
  for (int64_t i = 0; !rs.Eof(); ++i, rs.MoveNext()) {
    ++changes.calibrations;
    if (i % 5 != 0) continue;
    if (changed % 5 == 0) {
      changes.result_lines += ChangeFirstResultLine(onsite, rs.Fields(schema::kCertNo).Value());
    }
    rs.Edit();
    switch (changed++ % 5) {
      case 0:
        rs.Fields(schema::kCalDate).SetValue(ShiftedDate(rs.Fields(schema::kCalDate).Value(), 30));
        ++changes.later_date;
        break;
      case 1:
        rs.Fields(schema::kTestTime)
            .SetValue(ShiftedDate(rs.Fields(schema::kTestTime).Value(), 1.0 / 24));
        ++changes.later_time;
        break;
      case 2:
        rs.Fields(schema::kCalDate).SetValue(ShiftedDate(rs.Fields(schema::kCalDate).Value(), -30));
        ++changes.earlier_date;
        break;
      case 3:
        rs.Fields(schema::kCertNo).SetValue(OtherCertificate(rs.Fields(schema::kCertNo).Value()));
        ++changes.other_certificate;
        break;
      default:
        rs.Fields("Remarks").SetValue(std::string("Changed on site"));
        ++changes.remarks;
        break;
    }
    rs.Update();
  }
  rs.Close();
  onsite.Close();
  return changes;
}

std::vector<std::string> EveryTenthCustomerOf(const std::string& jet_path) {
  db::Database main = db::DBEngine().OpenDatabase(jet_path);
  db::Recordset names = main.OpenRecordset("SELECT DISTINCT Cust_Name FROM Instruments");
  std::vector<std::string> customers;
  for (size_t i = 0; !names.Eof(); ++i, names.MoveNext()) {
    const jet::Value name = names.Fields(0).Value();
    if (name.IsNull()) continue;
    if (i % 10 == 0) customers.push_back(db::ConcatText(name));
  }
  names.Close();
  main.Close();
  return customers;
}

}  // namespace bench
