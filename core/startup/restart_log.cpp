#include "core/startup/restart_log.h"

#include "common/clock_text.h"
#include "core/startup/append_only_file.h"

namespace quorvane {

namespace {

constexpr char kLineEnd[] = "\r\n";

// One line of the log. The texts have fixed widths, so every line we write
// has the same length (21 bytes).
std::string StampLine(const LocalTime& t) { return DateText(t) + " " + TimeText(t) + kLineEnd; }

const std::size_t kStampLineLength = StampLine(LocalTime{}).size();

// What must go before a new line so that it starts a line of its own.
std::string EndOfCutLine(const FileEnd& end) {
  // A device, or an empty file, has no line to end.
  if (!end.plainFile || end.size == 0) return "";
  // A log that may be appended to but not read: its last byte cannot be
  // looked at, so its length decides. A log of our lines alone is a whole
  // number of them; any other length means a line cut short (or lines from
  // elsewhere), and the stamp starts on a line of its own. Where the guess is
  // wrong (a line cut right after its CR, or one ended by a lone LF), the
  // cost is a blank line, never a spoilt record.
  if (!end.lastByte) return end.size % kStampLineLength == 0 ? "" : kLineEnd;
  if (*end.lastByte == '\n') return "";
  // A line cut right after its CR lacks only the LF.
  if (*end.lastByte == '\r') return "\n";
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
// still arriving, for a line cut short. A process that holds the file and
// never lets go delays the start by about two seconds, no more.
//
// Nothing is lost without a word: a log where a line would vanish or the
// start could block (a FIFO, a socket) is refused, and every failed or partial
// write ends the start with a message naming the file.
void AppendRestartStamp(const Clock& clock, const std::filesystem::path& logFile) {
  AppendOnlyFile log(logFile, "the restart log");
  log.HoldOthersOff();
  std::string bytes = EndOfCutLine(log.End());
  // One reading for both texts, so a line written across midnight cannot pair
  // one day's date with the next day's time.
  bytes += StampLine(clock.Local());
  log.AppendWhole(bytes);
  log.Close();
}

}  // namespace quorvane
