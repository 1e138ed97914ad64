#include "bench/benchmark/bench_options.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <stdexcept>

namespace quorvane::bench {

namespace {

void Usage() {
  std::cout
      << "usage: quorvane-bench [--quick] [--program PATH] [--sequences N] [--idle-seconds S]\n"
         "                      [--held N] [--startups N] [--loaded N] [--library-dir DIR] [--json FILE]\n"
         "                      [--wine] [--floor-program PATH]\n\n"
         "Runs the program on the simulated port and reports its timing, CPU use and memory.\n"
         "  --program PATH     the program to time (default " DEFAULT_PROGRAM
         ")\n"
         "  --sequences N      single requests answered and timed (default 20)\n"
         "  --idle-seconds S   span with no request for idle CPU and tick period (default 60)\n"
         "  --held N           answers given to one held request (default 5)\n"
         "  --startups N       separate starts timed (default 10)\n"
         "  --loaded N         single requests answered with every CPU kept busy by stress-ng\n"
         "                     (default 10; 0 leaves the run under load out)\n"
         "  --library-dir DIR  folder of the simulated libinpout32.so (default " SIMULATED_PORT_DIR
         ")\n"
         "  --json FILE        also write the results as JSON\n"
         "  --quick            a short run: 5 sequences, 10 s idle, 2 held answers, 3 starts, 3 loaded\n"
         "  --wine             the program is Quorvane.exe, run under Wine ($WINE, or wine) with the\n"
         "                     simulated inpout32.dll from --library-dir copied beside it\n"
         "  --floor-program PATH  a minimal window of the program's toolkit with the same timer, whose\n"
         "                     idle CPU is measured beside the program's (default " DEFAULT_FLOOR_PROGRAM
         ";\n"
         "                     an empty PATH leaves it out); with --wine, a Windows one\n"
         "                     (quorvane-bench-minimal-win32.exe, none by default), which also reads\n"
         "                     the port at each tick, so that its ticks are the floor under the poll timer's "
         "too\n"
         "With DISPLAY set (for instance under xvfb-run) the program runs on X and the time\n"
         "its window is mapped is measured; otherwise it runs offscreen.\n";
}

}  // namespace

Options Parse(int argc, char** argv) {
  Options options;
  bool floorChosen = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) throw std::invalid_argument(arg + " needs a value");
      return argv[++i];
    };
    if (arg == "--help" || arg == "-h") {
      Usage();
      std::exit(0);
    } else if (arg == "--quick") {
      options.quick = true;
      options.sequences = 5;
      options.idleSeconds = 10;
      options.heldAnswers = 2;
      options.startups = 3;
      options.loadedSequences = 3;
    } else if (arg == "--program") {
      // The program starts in a folder of its own: a relative name must not
      // be looked up from there.
      options.program = std::filesystem::absolute(value()).string();
    } else if (arg == "--library-dir") {
      options.libraryFolder = std::filesystem::absolute(value()).string();
    } else if (arg == "--sequences") {
      options.sequences = std::stoi(value());
    } else if (arg == "--idle-seconds") {
      options.idleSeconds = std::stoi(value());
    } else if (arg == "--held") {
      options.heldAnswers = std::stoi(value());
    } else if (arg == "--startups") {
      options.startups = std::stoi(value());
    } else if (arg == "--loaded") {
      options.loadedSequences = std::stoi(value());
    } else if (arg == "--wine") {
      options.wine = true;
    } else if (arg == "--floor-program") {
      // Started in a folder of its own, as the program is.
      options.floorProgram = value();
      if (!options.floorProgram.empty())
        options.floorProgram = std::filesystem::absolute(options.floorProgram).string();
      floorChosen = true;
    } else if (arg == "--json") {
      options.jsonPath = value();
    } else {
      throw std::invalid_argument("unknown option " + arg + " (see --help)");
    }
  }
  // The default floor is a Qt window: no floor for a Windows program unless
  // one of its own is named.
  if (options.wine && !floorChosen) options.floorProgram.clear();
  if (options.sequences < 1 || options.idleSeconds < 2 || options.heldAnswers < 2 || options.startups < 1 ||
      options.loadedSequences < 0)
    throw std::invalid_argument(
        "counts must be at least 1 (idle at least 2 s, held at least 2, loaded at least 0)");
  return options;
}

}  // namespace quorvane::bench
