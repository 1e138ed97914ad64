#pragma once

// The port setting file of Linux (/etc/quorvane.conf), which only an
// administrator writes: blank lines, comments from "#", and at most one
// line "port = VALUE", VALUE being the kernel's name of the port
// (parport1) or its base (0xd010).

#include <optional>
#include <string>

namespace quorvane::port_setting {

struct FileSetting {
  std::optional<std::string> value;  // none when the file sets no port
  std::string invalid;               // why the text cannot be taken; empty when it can
};

FileSetting ParseSettingFile(const std::string& text);

}  // namespace quorvane::port_setting
