#include "common/clock_text.h"

#include <algorithm>
#include <cstdio>

namespace quorvane {

namespace {

// Clamp so a malformed time can never widen the fixed-width texts.
int Clamp(int v, int lo, int hi) { return std::clamp(v, lo, hi); }

}  // namespace

std::string DateText(const LocalTime& t) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d-%02d-%04d", Clamp(t.month, 1, 12), Clamp(t.day, 1, 31),
                Clamp(t.year, 0, 9999));
  return text;
}

std::string TimeText(const LocalTime& t) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", Clamp(t.hour, 0, 23), Clamp(t.minute, 0, 59),
                Clamp(t.second, 0, 59));
  return text;
}

}  // namespace quorvane
