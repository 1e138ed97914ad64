#include "startup/restart_log.h"

#include "common/clock_text.h"
#include "startup/append_only_file.h"

namespace quorvane {

namespace {

constexpr char kLineEnd[] = "\r\n";

// What must go before a new line so that it starts a line of its own.
std::string EndOfCutLine(int lastByte) {
  if (lastByte < 0 || lastByte == '\n') return "";
  // A line cut right after its CR lacks only the LF.
  if (lastByte == '\r') return "\n";
  return kLineEnd;
}

}  // namespace

// Each start adds exactly one whole line, "MM-DD-YYYY hh:mm:ss" CR LF, written
// with one write on a file opened for appending. Copies started together in
// the same folder therefore never interleave: the kernel places each write
// whole at the end of the file.
//
// When the file's last line has no line end (a crash cut it short, or a hand
// edit), the stamp is preceded by CR LF (or by the LF alone after a CR) in
// that same write, so it starts a line of its own and neither record is
// spoilt; the earlier bytes stay as they are.
//
// Copies started together take turns on the file (an advisory lock held for
// the look at the last byte and the append), so none can take another's line,
// still arriving, for a line cut short.
void LogDateTime(const Clock& clock, const std::filesystem::path& logFile) {
  AppendOnlyFile log(logFile, "the restart log");
  log.HoldOthersOff();
  std::string bytes = EndOfCutLine(log.LastByte());
  // One reading for both texts, so a line written across midnight cannot pair
  // one day's date with the next day's time.
  const LocalTime now = clock.Local();
  bytes += DateText(now) + " " + TimeText(now) + kLineEnd;
  log.AppendWhole(bytes);
  log.Close();
}

}  // namespace quorvane
