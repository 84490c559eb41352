#include "jet/value.h"

#include <gtest/gtest.h>

#include <limits>

namespace jet {
namespace {

TEST(ValueTest, NullIsDistinctFromEmptyTextAndZero) {
  EXPECT_TRUE(Value().IsNull());
  EXPECT_NE(Value(), Value(std::string()));
  EXPECT_NE(Value(), Value(int32_t{0}));
  EXPECT_EQ(Value(Null{}), Value());
}

TEST(ValueTest, DatesFollowTheOleEpochWithPositiveTimeFractions) {
  EXPECT_EQ(DateTimeToString({0.0}), "1899-12-30 00:00:00");
  EXPECT_EQ(DateTimeToString({1.5}), "1899-12-31 12:00:00");
  // Before the epoch the fraction still counts forward from midnight.
  EXPECT_EQ(DateTimeToString({-1.25}), "1899-12-29 06:00:00");
  EXPECT_EQ(DateTimeToString({36526.0}), "2000-01-01 00:00:00");
  // Rounding to the second can carry into the next day.
  EXPECT_EQ(DateTimeToString({36526.9999999999}), "2000-01-02 00:00:00");
  EXPECT_EQ(DateTimeToString({std::numeric_limits<double>::quiet_NaN()}), "#invalid date#");
}

TEST(ValueTest, CurrencyKeepsFourPlacesWithoutTrailingZeros) {
  EXPECT_EQ(CurrencyToString({125000}), "12.5");
  EXPECT_EQ(CurrencyToString({-1}), "-0.0001");
  EXPECT_EQ(CurrencyToString({0}), "0");
  EXPECT_EQ(CurrencyToString({std::numeric_limits<int64_t>::min()}), "-922337203685477.5808");
}

TEST(ValueTest, DecimalsPrintWithTheirScale) {
  EXPECT_EQ(DecimalToString({false, 18, 0, 0, 1}), "1");
  EXPECT_EQ(DecimalToString({true, 18, 2, 0, 1250}), "-12.50");
  EXPECT_EQ(DecimalToString({false, 18, 3, 0, 5}), "0.005");
  EXPECT_EQ(DecimalToString({true, 18, 0, 0, 0}), "0");
  // 2^64 needs the high word.
  EXPECT_EQ(DecimalToString({false, 28, 0, 1, 0}), "18446744073709551616");
}

TEST(ValueTest, GuidsPrintInWindowsLayout) {
  Guid g;
  for (int i = 0; i < 16; ++i) g.bytes[i] = static_cast<uint8_t>(i);
  EXPECT_EQ(GuidToString(g), "{03020100-0504-0706-0809-0A0B0C0D0E0F}");
}

TEST(ValueTest, ShortestDecimalRoundTrips) {
  EXPECT_EQ(ShortestDecimal(0.1), "0.1");
  EXPECT_EQ(ShortestDecimal(0.1f), "0.1");
  EXPECT_EQ(ShortestDecimal(-2.5), "-2.5");
}

}  // namespace
}  // namespace jet
