#include "live_tracker/seen_decodes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

TEST(SeenDecodes, ACopyIsRefusedUntilItsSpanHasPassed) {
  SeenDecodes seen(1000, 1 << 20);
  EXPECT_TRUE(seen.first_arrival("one", 0));
  EXPECT_TRUE(seen.first_arrival("two", 10));
  EXPECT_FALSE(seen.first_arrival("one", 10));
  EXPECT_FALSE(seen.first_arrival("one", 999));  // the span counts from the first arrival
  EXPECT_FALSE(seen.first_arrival("two", 1009));
  EXPECT_TRUE(seen.first_arrival("one", 1000));
  EXPECT_TRUE(seen.first_arrival("two", 1010));
  EXPECT_FALSE(seen.first_arrival("one", 1010));
  EXPECT_TRUE(seen.first_arrival("", 1010));
  EXPECT_FALSE(seen.first_arrival("", 1011));
}

// A flood of distinct decodes: the oldest are forgotten, the newest kept,
// the cost never past the limit.
TEST(SeenDecodes, MemoryStaysWithinItsLimit) {
  const std::size_t limit = 100 * seen_cost("key 00000");
  SeenDecodes seen(kSeenSpanMs, limit);
  for (int i = 0; i < 100000; ++i) {
    char key[16];
    std::snprintf(key, sizeof key, "key %05d", i);
    ASSERT_TRUE(seen.first_arrival(key, i));
    ASSERT_LE(seen.cost(), limit);
  }
  EXPECT_EQ(seen.cost(), limit);
  EXPECT_FALSE(seen.first_arrival("key 99999", 100000));
  EXPECT_FALSE(seen.first_arrival("key 99900", 100000));
  EXPECT_TRUE(seen.first_arrival("key 99899", 100000));
  // One key above the limit is still kept while it is the newest.
  SeenDecodes small(kSeenSpanMs, 10);
  EXPECT_TRUE(small.first_arrival(std::string(100, 'x'), 0));
  EXPECT_FALSE(small.first_arrival(std::string(100, 'x'), 1));
}

}  // namespace
