#include "window/form1_description.h"

#include <algorithm>

namespace quorvane::form1 {

std::string WidestText(std::string_view text, char widestDigit) {
  std::string widest(text);
  std::replace(widest.begin(), widest.end(), kAnyDigit, widestDigit);
  return widest;
}

}  // namespace quorvane::form1
