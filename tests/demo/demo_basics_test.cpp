// The demo laboratory's random choices and dates: the same laboratory on every platform
// depends on them mapping the generator's numbers the same way everywhere.
#include <gtest/gtest.h>

#include <set>

#include "demo/demo_dates.h"
#include "demo/demo_laboratory.h"
#include "demo/demo_random.h"

namespace demo {
namespace {

TEST(DemoRandomTest, DrawsArePinnedForASeed) {
  // std::mt19937's outputs are fixed by the standard; the draws made from them must stay fixed
  // too, on every standard library, or the same seed stops giving the same laboratory.
  DemoRandom random(5489);
  std::vector<int> dice;
  for (int i = 0; i < 8; ++i) dice.push_back(random.Uniform(1, 6));
  EXPECT_EQ(dice, (std::vector<int>{3, 1, 3, 6, 5, 2, 6, 6}));
  const double unit = random.Unit();
  EXPECT_DOUBLE_EQ(unit, 0.63235924622540951);
}

TEST(DemoRandomTest, UniformCoversItsBoundsAndNothingElse) {
  DemoRandom random(3);
  std::set<int> seen;
  for (int i = 0; i < 2000; ++i) seen.insert(random.Uniform(-2, 3));
  EXPECT_EQ(seen, (std::set<int>{-2, -1, 0, 1, 2, 3}));
  for (int i = 0; i < 1000; ++i) {
    const double u = random.Unit();
    ASSERT_GE(u, 0.0);
    ASSERT_LT(u, 1.0);
  }
  EXPECT_EQ(random.Uniform(7, 7), 7);
}

TEST(DemoRandomTest, WeightedNeverPicksAZeroWeight) {
  DemoRandom random(11);
  std::vector<int> hits(4, 0);
  for (int i = 0; i < 4000; ++i) ++hits[random.Weighted({1, 0, 3, 0})];
  EXPECT_EQ(hits[1], 0);
  EXPECT_EQ(hits[3], 0);
  EXPECT_GT(hits[2], hits[0] * 2);
}

TEST(DemoDatesTest, DaysMatchAccessDates) {
  EXPECT_EQ(DaysFromCivil(1899, 12, 30), 0);
  EXPECT_EQ(DaysFromCivil(1900, 1, 1), 2);
  EXPECT_EQ(DaysFromCivil(2000, 1, 1), 36526);
  EXPECT_EQ(DaysFromCivil(2000, 3, 1), 36586);  // 2000 is a leap year
  EXPECT_EQ(DaysFromCivil(2025, 6, 30), 45838);
  for (int year = 1990; year <= 2030; ++year) {
    EXPECT_EQ(YearOfDays(DaysFromCivil(year, 1, 1)), year);
    EXPECT_EQ(YearOfDays(DaysFromCivil(year, 12, 31) + 0.99), year);
  }
}

TEST(LaboratoryGeneratorTest, DefaultSizeHasTheLaboratorysProportions) {
  LaboratoryGenerator generator(kDefaultInstruments, 1);
  int64_t calibrations = 0, results = 0, with_certificate = 0, additional = 0;
  std::set<std::optional<std::string>> customers;
  while (!generator.Done()) {
    const InstrumentRecords records = generator.Next();
    customers.insert(records.instrument.cust_name);
    calibrations += static_cast<int64_t>(records.calibrations.size());
    results += static_cast<int64_t>(records.results.size());
    additional += static_cast<int64_t>(records.additional_data.size());
    for (const CalibrationRow& cal : records.calibrations) {
      with_certificate += cal.cert_no && !cal.cert_no->empty() ? 1 : 0;
    }
  }
  // About ten calibrations an instrument, ten lines a certificate, additional data for most.
  EXPECT_NEAR(static_cast<double>(calibrations) / kDefaultInstruments, 10, 1);
  EXPECT_NEAR(static_cast<double>(results) / with_certificate, 10, 1);
  EXPECT_GT(additional, calibrations * 3 / 4);
  EXPECT_GE(customers.size(), 40u);
}

}  // namespace
}  // namespace demo
