#include "common/foreign_name.h"

namespace quorvane {

std::string QuotedForeignName(std::string_view name) {
  std::string shown = "\"";
  for (const char c : name.substr(0, kForeignNameLimit)) {
    // The quote itself too: the name must not seem to end early.
    const bool printable = c >= ' ' && c <= '~' && c != '"';
    shown += printable ? c : '?';
  }
  if (name.size() > kForeignNameLimit) shown += "...";
  return shown + "\"";
}

}  // namespace quorvane
