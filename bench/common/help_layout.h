#pragma once

// The bench tools' --help as CLI11 writes it, in the order their help has
// always had: the usage line first, then what the tool does, its arguments,
// and the notes after.

#include <CLI/CLI.hpp>

#include <cstddef>
#include <memory>
#include <string>

namespace quorvane::bench_common {

class HelpLayout : public CLI::Formatter {
 public:
  std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override {
    if (mode == CLI::AppFormatMode::Sub) return make_expanded(app);
    return make_usage(app, std::move(name)) + "\n" + make_description(app) + make_positionals(app) +
           make_groups(app, mode) + make_subcommands(app, mode) + "\n" + make_footer(app);
  }
};

// `app` with that layout, option names in a column `width` wide.
inline void UseHelpLayout(CLI::App& app, std::size_t width) {
  auto layout = std::make_shared<HelpLayout>();
  layout->column_width(width);
  app.formatter(layout);
}

}  // namespace quorvane::bench_common
