#include "front_ends/windows_service/event_log.h"

#include "common/windows_text.h"
#include "messages.h"  // made from messages.mc

namespace quorvane::win32_service {

EventLog::EventLog(const wchar_t* source) : source_(RegisterEventSourceW(nullptr, source)) {}

EventLog::~EventLog() {
  if (source_) DeregisterEventSource(source_);
}

void EventLog::Information(const std::string& text) { Write(EVENTLOG_INFORMATION_TYPE, text); }

void EventLog::Error(const std::string& text) { Write(EVENTLOG_ERROR_TYPE, text); }

void EventLog::Write(WORD type, const std::string& text) {
  if (!source_) return;
  const std::wstring wide = win32::Wide(text);
  const wchar_t* strings[] = {wide.c_str()};
  // Nowhere left to report an entry that could not be written.
  ReportEventW(source_, type, 0, QUORVANE_EVENT_TEXT, nullptr, 1, 0, strings, nullptr);
}

}  // namespace quorvane::win32_service
