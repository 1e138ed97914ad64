// Names other processes chose, made fit for a message.
#include "common/foreign_name.h"

#include <gtest/gtest.h>

#include <string>

namespace quorvane {
namespace {

TEST(QuotedForeignName, KeepsPrintableTextOnlyQuotedAndCut) {
  const struct {
    const char* what;
    std::string name, shown;
  } cases[] = {
      {"a plain name", "quorvane-console", "\"quorvane-console\""},
      {"no name", "", "\"\""},
      {"line breaks and a terminal's escapes", "a\nb\r\x1b[2Kc\t", "\"a?b??[2Kc?\""},
      {"a quote that would end the name early", "a\" (process 1) b", "\"a? (process 1) b\""},
      {"bytes beyond ASCII and a NUL", std::string("\xc3\xa9\x7f\0z", 5), "\"????z\""},
      {"exactly as long as allowed", std::string(kForeignNameLimit, 'n'),
       "\"" + std::string(kForeignNameLimit, 'n') + "\""},
      {"longer", std::string(kForeignNameLimit + 1, 'n') + "\nforged",
       "\"" + std::string(kForeignNameLimit, 'n') + "...\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(QuotedForeignName(c.name), c.shown);
  }
}

}  // namespace
}  // namespace quorvane
