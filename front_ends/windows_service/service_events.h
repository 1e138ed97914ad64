#pragma once

// What the service writes to the event log: its changes of state only
// (started, started again after failures, stopped, failed), not each text a
// window would show, which came to about three entries an answer. A failure
// that repeats, the service ending and the Service Control Manager
// starting it again every 5 s, is written once, and then only when it has
// come 10, 100, 1000... times in a row, with the count: a day of a missing
// port library is five entries, not seventeen thousand.
//
// The count lives in a small file in the data folder (each failure ends the
// process); the first start that comes through says how many failures it
// ends, and removes the file.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace quorvane::win32_service {

// Where the entries go (the event log; a list in the tests).
class EntrySink {
 public:
  virtual ~EntrySink() = default;
  virtual void Information(const std::string& text) = 0;
  virtual void Error(const std::string& text) = 0;
};

// The failures in a row so far: the last one's text and how many times it
// came.
struct FailureRecord {
  std::string text;
  std::uint64_t times = 0;
};

// The record as its file holds it, and back; a file that does not parse
// is no record.
std::string RecordText(const FailureRecord& record);
std::optional<FailureRecord> ParseRecord(const std::string& text);

// A failure after `before`: the record after it, and the entry to write,
// if any.
struct FailureStep {
  FailureRecord record;
  std::optional<std::string> entry;
};
FailureStep AfterFailure(const std::optional<FailureRecord>& before, const std::string& text);

// The entry for a start that came through, after the failures `before`.
std::string StartedEntry(const std::optional<FailureRecord>& before, const std::string& lastRestart);

class ServiceEvents {
 public:
  explicit ServiceEvents(EntrySink& sink) : sink_(sink) {}

  // From now on failures are counted in `recordFile`; until then (no data
  // folder) each is written.
  void KeepRecordIn(const std::filesystem::path& recordFile) { recordFile_ = recordFile; }

  void Started(const std::string& lastRestart);
  void Stopped();
  void Failed(const std::string& text);
  // Something said once a start, such as which port it uses and why.
  void Note(const std::string& text) { sink_.Information(text); }

 private:
  std::optional<FailureRecord> ReadRecord() const;

  EntrySink& sink_;
  std::optional<std::filesystem::path> recordFile_;
};

}  // namespace quorvane::win32_service
