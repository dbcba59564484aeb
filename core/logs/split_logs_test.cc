#include "logs/split_logs.h"

#include <gtest/gtest.h>

namespace {

TEST(SplitLogs, NamesAndTheNewest) {
  for (const char* name : {"2025-ALL.TXT", "2025-03-ALL.TXT"}) EXPECT_TRUE(is_split_log_name(name));
  for (const char* name : {"ALL.TXT", "-ALL.TXT", "25-ALL.TXT", "2025-3-ALL.TXT", "2025_03-ALL.TXT",
                           "2025-03-ALL.TXT.bak", "x2025-ALL.TXT", "2025-ALL.txt"})
    EXPECT_FALSE(is_split_log_name(name)) << name;
  // The latest period wins, whenever each was written (an old one touched
  // by a backup is no newer); a year's months come after its own log.
  EXPECT_EQ(newest_split_log({{"2025-02-ALL.TXT", 30},
                              {"2025-ALL.TXT", 50},
                              {"ALL.TXT.old", 90},
                              {"2025-03-ALL.TXT", 40},
                              {"2024-12-ALL.TXT", 60}}),
            "2025-03-ALL.TXT");
  EXPECT_EQ(newest_split_log({{"2026-ALL.TXT", 30}, {"2025-12-ALL.TXT", 90}}), "2026-ALL.TXT");
  EXPECT_EQ(newest_split_log({{"DECODED.TXT", 30}}), "");
  // JTDX's monthly logs.
  EXPECT_TRUE(is_jtdx_log_name("202612_ALL.TXT"));
  for (const char* name : {"2026-12_ALL.TXT", "20261_ALL.TXT", "2026120_ALL.TXT", "202612-ALL.TXT",
                           "202612_ALL.TXT.bak", "2026AB_ALL.TXT"})
    EXPECT_FALSE(is_jtdx_log_name(name)) << name;
  EXPECT_EQ(
      newest_jtdx_log(
          {{"202612_ALL.TXT", 30}, {"202701_ALL.TXT", 20}, {"2027-02-ALL.TXT", 90}, {"202611_ALL.TXT", 90}}),
      "202701_ALL.TXT");
}

}  // namespace
