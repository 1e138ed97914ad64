#include "port/port_setting.h"

namespace quorvane::port_setting {

namespace {

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

FileSetting ParseSettingFile(const std::string& text) {
  FileSetting setting;
  std::size_t start = 0;
  for (int number = 1; start < text.size(); ++number) {
    const auto end = text.find('\n', start);
    std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    start = end == std::string::npos ? text.size() : end + 1;
    line = Trimmed(line.substr(0, line.find('#')));
    if (line.empty()) continue;
    const std::string where = "line " + std::to_string(number);
    const auto equals = line.find('=');
    // Anything but the one known key is refused rather than skipped: a typo
    // would otherwise leave the port to the default unnoticed.
    if (equals == std::string::npos || Trimmed(line.substr(0, equals)) != "port") {
      setting.invalid = where;
      setting.invalid += " is not \"port = NAME or BASE\": \"" + line + "\"";
      return setting;
    }
    if (setting.value) {
      setting.invalid = where + " sets the port a second time";
      return setting;
    }
    setting.value = Trimmed(line.substr(equals + 1));
  }
  return setting;
}

}  // namespace quorvane::port_setting
