#include "bench/benchmark/bench_options.h"

#include <CLI/CLI.hpp>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <tuple>

#include "bench/common/help_layout.h"

namespace quorvane::bench {

namespace {

constexpr const char* kAbout =
    "Runs the program on the simulated port and reports its timing, CPU use and memory.";
constexpr const char* kNotes =
    "With DISPLAY set (for instance under xvfb-run) the program runs on X and the time\n"
    "its window is mapped is measured; otherwise it runs offscreen.";

// The program starts in a folder of its own: a relative name must not be
// looked up from there.
std::string Absolute(const std::string& path) { return std::filesystem::absolute(path).string(); }

}  // namespace

Options Parse(int argc, char** argv) {
  Options options;
  CLI::App app{kAbout, "quorvane-bench"};
  bench_common::UseHelpLayout(app, 21);
  app.footer(kNotes);
  app.set_help_flag("-h,--help", "show this text");
  const auto count = [&](const char* name, int& value, const char* text) {
    return app.add_option(name, value, text)->type_name("N");
  };
  app.add_flag("--quick", options.quick,
               "a short run: 5 sequences, 10 s idle, 2 held answers, 3 starts, 3 loaded");
  app.add_option("--program", options.program, "the program to time (default " DEFAULT_PROGRAM ")")
      ->type_name("PATH");
  CLI::Option* sequences =
      count("--sequences", options.sequences, "single requests answered and timed (default 20)");
  CLI::Option* idle = count("--idle-seconds", options.idleSeconds,
                            "span with no request for idle CPU and tick period (default 60)")
                          ->type_name("S");
  CLI::Option* held = count("--held", options.heldAnswers, "answers given to one held request (default 5)");
  CLI::Option* startups = count("--startups", options.startups, "separate starts timed (default 10)");
  CLI::Option* loaded = count("--loaded", options.loadedSequences,
                              "single requests answered with every CPU kept busy by stress-ng\n"
                              "(default 10; 0 leaves the run under load out)");
  app.add_option("--library-dir", options.libraryFolder,
                 "folder of the simulated libinpout32.so (default " SIMULATED_PORT_DIR ")")
      ->type_name("DIR");
  app.add_option("--json", options.jsonPath, "also write the results as JSON")->type_name("FILE");
  app.add_flag("--wine", options.wine,
               "the program is Quorvane.exe, run under Wine ($WINE, or wine) with the\n"
               "simulated inpout32.dll from --library-dir copied beside it");
  CLI::Option* floor =
      app.add_option("--floor-program", options.floorProgram,
                     "a minimal window of the program's toolkit with the same timer, whose\n"
                     "idle CPU is measured beside the program's (default " DEFAULT_FLOOR_PROGRAM
                     ";\n"
                     "an empty PATH leaves it out); with --wine, a Windows one\n"
                     "(quorvane-bench-minimal-win32.exe, none by default), which also reads\n"
                     "the port at each tick, so that its ticks are the floor under the poll timer's too")
          ->type_name("PATH");
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::cout << app.help();
    std::exit(0);
  }

  // A quick run's counts, where no count of its own was given.
  if (options.quick) {
    for (const auto& [option, value, quick] : {std::tuple{sequences, &options.sequences, 5},
                                               {idle, &options.idleSeconds, 10},
                                               {held, &options.heldAnswers, 2},
                                               {startups, &options.startups, 3},
                                               {loaded, &options.loadedSequences, 3}}) {
      if (option->count() == 0) *value = quick;
    }
  }
  options.program = Absolute(options.program);
  options.libraryFolder = Absolute(options.libraryFolder);
  if (!options.floorProgram.empty()) options.floorProgram = Absolute(options.floorProgram);
  // The default floor is a Qt window: no floor for a Windows program unless
  // one of its own is named.
  if (options.wine && floor->count() == 0) options.floorProgram.clear();
  if (options.sequences < 1 || options.idleSeconds < 2 || options.heldAnswers < 2 || options.startups < 1 ||
      options.loadedSequences < 0)
    throw std::invalid_argument(
        "counts must be at least 1 (idle at least 2 s, held at least 2, loaded at least 0)");
  return options;
}

}  // namespace quorvane::bench
