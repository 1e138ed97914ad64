// The bench tools' one JSON writer: whatever a text holds, the result parses
// as the same text.
#include "bench/common/json_text.h"

#include <gtest/gtest.h>

namespace quorvane::bench_common {
namespace {

TEST(JsonText, EveryTextIsQuotedWithWhatJsonCannotHoldEscaped) {
  EXPECT_EQ(JsonString("plain 1.5 ms"), "\"plain 1.5 ms\"");
  EXPECT_EQ(JsonString("say \"hi\" \\ there"), "\"say \\\"hi\\\" \\\\ there\"");
  EXPECT_EQ(JsonString("two\nlines\tand\r\x01"), "\"two\\u000alines\\u0009and\\u000d\\u0001\"");
  EXPECT_EQ(JsonString(""), "\"\"");
  // UTF-8 passes through: JSON holds it as it is.
  EXPECT_EQ(JsonString("\xc2\xb5s"), "\"\xc2\xb5s\"");
}

TEST(JsonText, NumbersKeepTheirDecimals) {
  EXPECT_EQ(JsonNumbers({}, 3), "[]");
  EXPECT_EQ(JsonNumbers({1.25, -0.5, 1000.0004}, 3), "[1.250, -0.500, 1000.000]");
  EXPECT_EQ(JsonNumbers({2.5}, 0), "[2]");
}

}  // namespace
}  // namespace quorvane::bench_common
