#pragma once

// The service's entries in the Application event log, under an event source
// of its own. The installer registers the source with this program as its
// message file, whose one message is the entry's text as given, so the
// event log shows each entry whole. Windows only.

#include <windows.h>

#include <string>

#include "front_ends/windows_service/service_events.h"

namespace quorvane::win32_service {

class EventLog final : public EntrySink {
 public:
  // Never fails: where the log cannot be reached, the entries go nowhere
  // and the service runs on (its exit code still tells a failure).
  explicit EventLog(const wchar_t* source);
  ~EventLog() override;
  EventLog(const EventLog&) = delete;
  EventLog& operator=(const EventLog&) = delete;

  void Information(const std::string& text) override;
  void Error(const std::string& text) override;

 private:
  void Write(WORD type, const std::string& text);

  HANDLE source_;
};

}  // namespace quorvane::win32_service
