#include "core/status_window/window_description.h"

#include <algorithm>

namespace quorvane::status_window {

const char* FieldName(StatusField field) {
  switch (field) {
    case StatusField::kStatusLine: return "status";
    case StatusField::kLastRestart: return "last restart";
    case StatusField::kLastRequest: return "last request";
    case StatusField::kNone: break;
  }
  return "text";
}

std::string WidestText(std::string_view text, char widestDigit) {
  std::string widest(text);
  std::replace(widest.begin(), widest.end(), kAnyDigit, widestDigit);
  return widest;
}

}  // namespace quorvane::status_window
