#include "front_ends/windows_service/service_events.h"

#include <fstream>
#include <sstream>
#include <system_error>

namespace quorvane::win32_service {

namespace {

// 1, 10, 100...: the counts worth an entry.
bool IsPowerOfTen(std::uint64_t n) {
  while (n >= 10 && n % 10 == 0) n /= 10;
  return n == 1;
}

}  // namespace

std::string RecordText(const FailureRecord& record) {
  return std::to_string(record.times) + "\n" + record.text + "\n";
}

std::optional<FailureRecord> ParseRecord(const std::string& text) {
  const auto firstLineEnd = text.find('\n');
  if (firstLineEnd == std::string::npos || firstLineEnd == 0 || text.size() < firstLineEnd + 2 ||
      text.back() != '\n')
    return std::nullopt;
  FailureRecord record;
  for (std::size_t i = 0; i < firstLineEnd; ++i) {
    const char digit = text[i];
    if (digit < '0' || digit > '9' || record.times > UINT64_MAX / 10) return std::nullopt;
    record.times = record.times * 10 + static_cast<std::uint64_t>(digit - '0');
  }
  record.text = text.substr(firstLineEnd + 1, text.size() - firstLineEnd - 2);
  if (record.times == 0 || record.text.empty() || record.text.find('\n') != std::string::npos)
    return std::nullopt;
  return record;
}

FailureStep AfterFailure(const std::optional<FailureRecord>& before, const std::string& text) {
  FailureStep step;
  step.record.text = text;
  step.record.times = before && before->text == text ? before->times + 1 : 1;
  if (step.record.times == 1)
    step.entry = text;
  else if (IsPowerOfTen(step.record.times))
    step.entry = text + " (the same failure " + std::to_string(step.record.times) + " times in a row)";
  return step;
}

std::string StartedEntry(const std::optional<FailureRecord>& before, const std::string& lastRestart) {
  std::string entry = "Started, answering on the parallel port; last restart: " + lastRestart;
  if (before)
    entry += "; started again after " + std::to_string(before->times) +
             (before->times == 1 ? " failure: " : " failures in a row, the last: ") + before->text;
  return entry;
}

void ServiceEvents::Started(const std::string& lastRestart) {
  sink_.Information(StartedEntry(ReadRecord(), lastRestart));
  std::error_code ignored;
  if (recordFile_) std::filesystem::remove(*recordFile_, ignored);
}

void ServiceEvents::Stopped() { sink_.Information("Stopped"); }

void ServiceEvents::Failed(const std::string& text) {
  // One line a record: a failure's text is on one line already.
  std::string line = text;
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';
  const FailureStep step = AfterFailure(ReadRecord(), line);
  // A record that cannot be kept costs entries, never the failure's own.
  bool kept = false;
  if (recordFile_) {
    std::ofstream file(*recordFile_, std::ios::binary | std::ios::trunc);
    file << RecordText(step.record);
    file.close();
    kept = !file.fail();
  }
  if (step.entry || !kept) sink_.Error(step.entry.value_or(line));
}

std::optional<FailureRecord> ServiceEvents::ReadRecord() const {
  if (!recordFile_) return std::nullopt;
  std::ifstream file(*recordFile_, std::ios::binary);
  if (!file) return std::nullopt;
  std::ostringstream text;
  text << file.rdbuf();
  return ParseRecord(text.str());
}

}  // namespace quorvane::win32_service
