#include "startup/restart_log.h"

#include "common/clock_text.h"
#include "startup/append_only_file.h"

namespace quorvane {

namespace {

constexpr char kLineEnd[] = "\r\n";

}  // namespace

// Each start adds exactly one whole line, "MM-DD-YYYY hh:mm:ss" CR LF, written
// with one write on a file opened for appending. Copies started together in
// the same folder therefore never interleave: the kernel places each write
// whole at the end of the file.
//
// When the file's last line has no line end (a crash cut it short, or a hand
// edit), the stamp is preceded by CR LF in that same write so it starts a line
// of its own and neither record is spoilt; the earlier bytes stay as they are.
// The last byte is looked at before the write, so two copies starting onto
// such a line at the same moment may both add the CR LF: the cost is one empty
// line, never a stamp glued to another or split.
void LogDateTime(const Clock& clock, const std::filesystem::path& logFile) {
  AppendOnlyFile log(logFile, "the restart log");
  std::string bytes = log.EndsInsideLine() ? kLineEnd : "";
  // One reading for both texts, so a line written across midnight cannot pair
  // one day's date with the next day's time.
  const LocalTime now = clock.Local();
  bytes += DateText(now) + " " + TimeText(now) + kLineEnd;
  log.AppendWhole(bytes);
  log.Close();
}

}  // namespace quorvane
