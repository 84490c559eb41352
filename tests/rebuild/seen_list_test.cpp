// The rebuild's certificate list.
#include "rebuild/seen_list.h"

#include <gtest/gtest.h>

namespace rebuild {
namespace {

TEST(SeenListTest, AddsOnceComparingExactly) {
  SeenList list;
  EXPECT_FALSE(list.AddIfAbsent("C-1"));
  EXPECT_TRUE(list.AddIfAbsent("C-1"));
  EXPECT_FALSE(list.AddIfAbsent("c-1"));  // letter case counts
  EXPECT_FALSE(list.AddIfAbsent("C-1 "));
  EXPECT_EQ(list.SeenCount(), 3u);
  EXPECT_EQ(list.Entry(0), "");  // position 0 is never used
  EXPECT_EQ(list.Entry(1), "C-1");
  EXPECT_EQ(list.Entry(3), "C-1 ");
}

TEST(SeenListTest, GrowsByDoublingAndKeepsItsRoomWhenCleared) {
  SeenList list;
  EXPECT_EQ(list.LastPosition(), 10u);
  for (int i = 1; i <= 10; ++i) EXPECT_FALSE(list.AddIfAbsent("C" + std::to_string(i)));
  EXPECT_EQ(list.LastPosition(), 10u);
  EXPECT_FALSE(list.AddIfAbsent("C11"));
  EXPECT_EQ(list.LastPosition(), 20u);
  for (int i = 12; i <= 21; ++i) list.AddIfAbsent("C" + std::to_string(i));
  EXPECT_EQ(list.LastPosition(), 40u);
  for (int i = 1; i <= 21; ++i) EXPECT_TRUE(list.AddIfAbsent("C" + std::to_string(i))) << i;
  EXPECT_EQ(list.Entry(21), "C21");

  list.ClearSeenList();
  EXPECT_EQ(list.SeenCount(), 0u);
  EXPECT_EQ(list.LastPosition(), 40u);
  EXPECT_EQ(list.Entry(21), "");
  EXPECT_FALSE(list.AddIfAbsent("C21"));
}

}  // namespace
}  // namespace rebuild
