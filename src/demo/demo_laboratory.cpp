#include "demo/demo_laboratory.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "demo/demo_catalogue.h"
#include "demo/demo_dates.h"

namespace demo {
namespace {

// Instruments that carry one special case each, whatever the seed, so that a small demo has
// them all. Statuses and customers are spread over the first instruments separately.
enum ForcedCase : int {
  kNullCertificate = 1,
  kEmptyCertificate = 2,
  kCertificateRepeated = 3,
  kNoCalibrations = 4,
  kTwoAdditionalRows = 5,
  kDuplicateTestNo = 6,
  kNoAdditionalData = 7,
  kCertificateOfAnotherInstrument = 8,
  kNullDateAndTime = 9,
  kLongNotes = 10,
};

// Rates of the same cases among the other instruments' calibrations.
constexpr double kNullCertificateRate = 0.02;
constexpr double kEmptyCertificateRate = 0.01;
constexpr double kRepeatedCertificateRate = 0.01;
constexpr double kOtherInstrumentCertificateRate = 0.002;
constexpr double kAdditionalDataRate = 0.85;
constexpr double kTwoAdditionalRowsRate = 0.02;
constexpr double kDuplicateTestNoRate = 0.01;
constexpr double kNoCalibrationsRate = 0.03;

// Rounded to `decimals` places, as readings are written down: the nearest double to the
// decimal, so that exports show "22.46955", not "22.469550000000002".
double Round(double value, int decimals) {
  static constexpr double kScales[] = {1, 10, 100, 1000, 10000, 100000};
  const double scale = kScales[decimals];
  return std::round(value * scale) / scale;
}

std::string Letter(char c) { return std::string(1, c); }

template <typename T>
const T& PickFrom(DemoRandom& random, const std::vector<T>& items) {
  return items[static_cast<size_t>(random.Uniform(0, static_cast<int>(items.size()) - 1))];
}

// Sentences joined, with a line break now and then as staff type them.
std::string Sentences(DemoRandom& random, const std::vector<std::string>& pool, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    if (!text.empty()) text += random.Chance(0.3) ? "\r\n" : " ";
    text += PickFrom(random, pool);
  }
  return text;
}

}  // namespace

LaboratoryGenerator::LaboratoryGenerator(int instruments, uint32_t seed)
    : random_(seed), total_(std::max(instruments, 0)) {
  // Every letter in both cases, a Null and an empty status; common ones weigh more, as a
  // laboratory uses a few statuses for most of its instruments.
  for (char c = 'A'; c <= 'Z'; ++c) {
    statuses_.push_back(Letter(c));
    const double common = std::string("ADKN").find(c) != std::string::npos     ? 12
                          : std::string("LTIOPM").find(c) != std::string::npos ? 4
                                                                               : 0.8;
    status_weights_.push_back(common);
  }
  for (char c = 'a'; c <= 'z'; ++c) {
    statuses_.push_back(Letter(c));
    status_weights_.push_back(0.25);
  }
  statuses_.push_back(std::nullopt);
  status_weights_.push_back(0.3);
  statuses_.push_back(std::string());
  status_weights_.push_back(0.3);
  forced_statuses_ = statuses_;
  random_.Shuffle(forced_statuses_);

  for (size_t i = 0; i < Customers().size(); ++i) {
    forced_customers_.push_back(i);
    customer_weights_.push_back(Customers()[i].weight);
  }
  random_.Shuffle(forced_customers_);
}

std::optional<std::string> LaboratoryGenerator::PickStatus() {
  if (static_cast<size_t>(made_) < forced_statuses_.size()) return forced_statuses_[made_];
  return statuses_[random_.Weighted(status_weights_)];
}

std::optional<std::string> LaboratoryGenerator::PickCustomer() {
  if (static_cast<size_t>(made_) < forced_customers_.size()) {
    return Customers()[forced_customers_[made_]].name;
  }
  return Customers()[random_.Weighted(customer_weights_)].name;
}

std::string LaboratoryGenerator::NextCertificate(double cal_date) {
  // Numbered through the laboratory in the order issued, prefixed with the year.
  char text[32];
  std::snprintf(text, sizeof text, "C%04d/%06lld", YearOfDays(cal_date),
                static_cast<long long>(++certificates_));
  return text;
}

std::optional<std::string> LaboratoryGenerator::Notes() {
  const int kind = made_ == kLongNotes ? 19 : random_.Uniform(0, 19);
  if (kind < 8) return std::nullopt;
  if (kind < 18) return Sentences(random_, NoteSentences(), random_.Uniform(1, 3));
  // A history kept in the notes over years: long enough to need pages of its own.
  const int entries = kind == 18 ? random_.Uniform(8, 20) : random_.Uniform(60, 120);
  std::string text = "Service history:";
  for (int i = 0; i < entries; ++i) {
    text += "\r\n" + std::to_string(2000 + i % 25) + ": ";
    text += Sentences(random_, NoteSentences(), 2);
  }
  return text;
}

void LaboratoryGenerator::AddResults(InstrumentRecords& out, const std::string& cert_no,
                                     size_t kind_index, double span_low, double span_high,
                                     bool duplicate_line) {
  const InstrumentKind& kind = InstrumentKinds()[kind_index];
  const int lines = random_.Uniform(6, 14);
  const double span = span_high - span_low;
  const double tolerance = Round(std::max(span * kind.tolerance, 1e-4), 4);
  for (int line = 1; line <= lines; ++line) {
    ResultRow row;
    row.cert_no = cert_no;
    row.test_no = line;
    row.parameter = kind.parameter;
    row.nominal = Round(span_low + span * (line - 1) / std::max(lines - 1, 1), 4);
    row.tolerance = tolerance;
    row.units = kind.units;
    if (random_.Chance(0.005)) {
      // Not measured: the point was out of the customer's range.
      row.in_tolerance = false;
    } else {
      const double spread = random_.Chance(0.03) ? 1.6 : 0.8;
      const double error = Round(tolerance * random_.Real(-spread, spread), 5);
      row.measured = Round(row.nominal + error, 5);
      row.error = error;
      row.in_tolerance = std::fabs(error) <= tolerance;
    }
    if (!random_.Chance(0.01)) row.uncertainty = Round(tolerance * 0.25, 5);
    out.results.push_back(row);
    if (duplicate_line && line == 2) {
      // The same point entered twice, the second time with a fresh reading.
      ResultRow again = row;
      if (again.measured) *again.measured = Round(*again.measured + tolerance * 0.1, 5);
      out.results.push_back(again);
    }
  }
}

void LaboratoryGenerator::AddAdditionalData(InstrumentRecords& out, const CalibrationRow& cal,
                                            int rows) {
  for (int i = 0; i < rows; ++i) {
    AdditionalDataRow row;
    row.inst_id = cal.inst_id;
    row.cal_ref = cal.cal_ref;
    row.reference_std = PickFrom(random_, ReferenceStandards());
    const int std_number = random_.Uniform(100, 9999);
    row.std_cert_no = "RS-" + std::to_string(std_number);
    const int due_in = random_.Uniform(30, 700);
    row.std_due_date = (cal.cal_date ? *cal.cal_date : DaysFromCivil(2020, 1, 1)) + due_in;
    if (!random_.Chance(0.05)) row.pressure = Round(random_.Real(985, 1035), 1);
    const std::string& comment = PickFrom(random_, AdditionalComments());
    if (!random_.Chance(0.3)) row.comment = comment;
    out.additional_data.push_back(row);
  }
}

InstrumentRecords LaboratoryGenerator::Next() {
  InstrumentRecords out;
  InstrumentRow& inst = out.instrument;
  char id[24];
  std::snprintf(id, sizeof id, "INS-%06d", made_ + 1);
  inst.inst_id = id;
  inst.cust_name = PickCustomer();
  inst.status = PickStatus();

  const size_t kind_index =
      static_cast<size_t>(random_.Uniform(0, static_cast<int>(InstrumentKinds().size()) - 1));
  const InstrumentKind& kind = InstrumentKinds()[kind_index];
  inst.description = kind.description;
  inst.manufacturer = PickFrom(random_, Manufacturers());
  inst.model = PickFrom(random_, kind.models);
  const int serial = random_.Uniform(1000000, 9999999);
  inst.serial_no = "SN" + std::to_string(serial);
  if (!random_.Chance(0.1)) inst.location = PickFrom(random_, Locations());
  inst.range_units = kind.units;
  // Some instruments are of a smaller range than the kind's usual one.
  const double range_scale = random_.Chance(0.3) ? 0.5 : 1.0;
  inst.range_low = kind.low * range_scale;
  inst.range_high = kind.high * range_scale;
  const int intervals[] = {6, 12, 12, 12, 24};
  inst.cal_interval = static_cast<int16_t>(intervals[random_.Uniform(0, 4)]);
  inst.price_cents = random_.Uniform(5000, 900000);
  inst.notes = Notes();

  // Calibrations, from the first one to the latest, at the instrument's interval.
  const bool forced =
      made_ < kInstrumentsForEveryCase && made_ >= kNullCertificate && made_ <= kLongNotes;
  int count = random_.Uniform(4, 16);
  if (random_.Chance(kNoCalibrationsRate)) count = 0;
  if (forced) count = std::max(count, 3);
  if (made_ == kNoCalibrations) count = 0;
  const double latest = DaysFromCivil(2025, 6, 30);
  double step = inst.cal_interval * 30.44;
  if (count * step > 22 * 365.25) step = 22 * 365.25 / count;
  const int start_offset = random_.Uniform(0, 365);
  double day = std::floor(latest - count * step - start_offset);
  inst.date_received = day - random_.Uniform(1, 30);

  int32_t cal_ref = 0;
  std::string previous_cert;
  for (int c = 0; c < count; ++c) {
    CalibrationRow cal;
    cal.inst_id = inst.inst_id;
    cal_ref += random_.Chance(0.05) ? random_.Uniform(2, 3) : 1;  // gaps: deleted ones
    cal.cal_ref = cal_ref;
    const int jitter = random_.Uniform(-20, 20);
    day = std::floor(day + step + jitter);
    cal.cal_date = day;
    const int minutes = random_.Uniform(8 * 60, 17 * 60 + 30);
    cal.test_time = day + minutes / 1440.0;
    cal.technician = PickFrom(random_, Technicians());
    cal.procedure = kind.procedure;
    cal.temperature = Round(random_.Real(19, 23), 1);
    cal.humidity = Round(random_.Real(30, 60), 0);
    if (random_.Chance(0.15)) cal.adjusted = random_.Chance(0.5) ? "Yes" : "Zero only";
    if (random_.Chance(0.25)) {
      cal.remarks = Sentences(random_, RemarkSentences(), random_.Uniform(1, 2));
    }

    // The certificate: usually a new one; now and then none, an empty one, or one issued
    // before (a certificate reissued for a repeated test, or entered against two instruments).
    const double draw = random_.Unit();
    enum { kNew, kNull, kEmpty, kRepeat, kOther } cert = kNew;
    if (draw < kNullCertificateRate) {
      cert = kNull;
    } else if (draw < kNullCertificateRate + kEmptyCertificateRate) {
      cert = kEmpty;
    } else if (draw < kNullCertificateRate + kEmptyCertificateRate + kRepeatedCertificateRate) {
      cert = kRepeat;
    } else if (draw < kNullCertificateRate + kEmptyCertificateRate + kRepeatedCertificateRate +
                          kOtherInstrumentCertificateRate) {
      cert = kOther;
    }
    if (forced) cert = kNew;
    if (made_ == kNullCertificate && c == 1) cert = kNull;
    if (made_ == kEmptyCertificate && c == 2) cert = kEmpty;
    if (made_ == kCertificateRepeated && c == 2) cert = kRepeat;
    if (made_ == kCertificateOfAnotherInstrument && c == 0) cert = kOther;
    if (cert == kRepeat && previous_cert.empty()) cert = kNew;
    if (cert == kOther && earlier_certificate_.empty()) cert = kNew;

    bool new_certificate = false;
    switch (cert) {
      case kNull:
        break;
      case kEmpty:
        cal.cert_no = "";
        break;
      case kRepeat:
        cal.cert_no = previous_cert;
        break;
      case kOther:
        cal.cert_no = earlier_certificate_;
        break;
      case kNew:
        cal.cert_no = NextCertificate(day);
        new_certificate = true;
        break;
    }
    if (made_ == kNullDateAndTime && c == 0) cal.cal_date.reset();
    if (made_ == kNullDateAndTime && c == 1) cal.test_time.reset();

    if (new_certificate) {
      // Result lines belong to a certificate: a repeated number brings none of its own.
      bool duplicate_line = random_.Chance(kDuplicateTestNoRate);
      if (forced) duplicate_line = made_ == kDuplicateTestNo && c == 1;
      const size_t before = out.results.size();
      AddResults(out, *cal.cert_no, kind_index, inst.range_low, inst.range_high, duplicate_line);
      cal.passed =
          std::all_of(out.results.begin() + static_cast<std::ptrdiff_t>(before), out.results.end(),
                      [](const ResultRow& r) { return r.in_tolerance; });
      previous_cert = *cal.cert_no;
    }

    int additional_rows = random_.Chance(kAdditionalDataRate) ? 1 : 0;
    if (additional_rows == 1 && random_.Chance(kTwoAdditionalRowsRate)) additional_rows = 2;
    if (forced) additional_rows = 1;
    if (made_ == kTwoAdditionalRows && c == 0) additional_rows = 2;
    if (made_ == kNoAdditionalData && c == 0) additional_rows = 0;
    AddAdditionalData(out, cal, additional_rows);
    out.calibrations.push_back(std::move(cal));
  }
  if (!previous_cert.empty()) earlier_certificate_ = previous_cert;

  if (!out.calibrations.empty() && out.calibrations.back().cal_date) {
    inst.due_date = *out.calibrations.back().cal_date + std::floor(inst.cal_interval * 30.44);
  }
  ++made_;
  return out;
}

}  // namespace demo
