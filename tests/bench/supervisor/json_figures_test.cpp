// The bench tools' JSON figures: rounded to the digits their reports give
// and written short, and every text, whatever it holds, written so that it
// reads back as it was.
#include "bench/common/json_figures.h"

#include <gtest/gtest.h>

namespace quorvane::bench_common {
namespace {

TEST(JsonFigures, FiguresKeepTheirReportsDigitsAndNoMore) {
  EXPECT_EQ(JsonText(Rounded({1.25, -0.5, 1000.0004, -0.0001}, 3)),
            "[\n  1.25,\n  -0.5,\n  1000.0,\n  0.0\n]\n");
  EXPECT_EQ(JsonText(Rounded(std::vector<double>{}, 3)), "[]\n");
  EXPECT_EQ(Rounded(2.4, 0), 2);
}

TEST(JsonFigures, EveryTextReadsBackAsItWas) {
  for (const std::string text :
       {"plain 1.5 ms", "say \"hi\" \\ there", "two\nlines\tand\r\x01", "", "\xc2\xb5s"}) {
    const Json json{{"text", text}};
    EXPECT_EQ(Json::parse(JsonText(json))["text"], text);
  }
  // A text that is not UTF-8 (a program's path, say) is written, not refused.
  EXPECT_NE(JsonText(Json{{"program", std::string("/tmp/\xff")}}).find("/tmp/"), std::string::npos);
}

}  // namespace
}  // namespace quorvane::bench_common
