#pragma once

#include <filesystem>
#include <string>

namespace quorvane {

// A file opened for appending only, for the length of one call: created when
// missing, never truncated, closed by Close() (whose result counts) or, on the
// way out of a failure, by the destructor. Each operation throws Failure with
// `what` ("the restart log"), the file's full name and the system's reason.
//
// The system-specific part of the restart log lives behind this class: one
// implementation per platform (append_only_file_posix.cpp today).
class AppendOnlyFile {
 public:
  AppendOnlyFile(const std::filesystem::path& file, std::string what);
  ~AppendOnlyFile();
  AppendOnlyFile(const AppendOnlyFile&) = delete;
  AppendOnlyFile& operator=(const AppendOnlyFile&) = delete;

  // Holds other copies of the program off this file until Close(), so that
  // looking at the last byte and appending are one step for them. Best
  // effort: where the file system has no locks, the append still goes ahead.
  void HoldOthersOff();

  // The file's last byte, or -1 when it is empty, is not a plain file (a
  // device or a pipe has no last byte to look at) or may not be read.
  int LastByte();

  // Appends `bytes` with one write at the end of the file. A write that
  // lands only in part is a failure, never retried (see the .cpp).
  void AppendWhole(const std::string& bytes);

  void Close();

 private:
  [[noreturn]] void Fail(const std::string& doing, const std::string& reason) const;

  std::string what_;
  std::string shownName_;  // the full name, for messages
  int descriptor_ = -1;  // a HANDLE would take its place on Windows
  bool readable_ = false;
};

}  // namespace quorvane
