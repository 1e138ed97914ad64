#include "port_libraries/simulated/state_file_rules.h"

#include "port_libraries/simulated/simulated_port_layout.h"

namespace quorvane::simport {

namespace {

std::string File(const std::string& path) { return "the simulated port file " + path; }

// For a file that is refused: it is left as it is, since another run, or
// another program, may be using it.
constexpr const char* kRemoveIfUnused = " (remove it if no run uses it)";

}  // namespace

std::string CannotText(const std::string& doing, const std::string& path, const std::string& reason) {
  return "cannot " + doing + " " + File(path) + ": " + reason;
}

std::string NotRegularFileText(const std::string& path) { return File(path) + " is not a regular file"; }

std::string OtherOwnerText(const std::string& path) {
  return File(path) + " belongs to another user: it is not ours";
}

std::string OthersMayWriteText(const std::string& path) {
  return File(path) +
         " may be written by other users, who could change the port's lines or cut the file short under the "
         "program: it is not used (let only its owner write it, or remove it if no run uses it)";
}

std::string WrongSizeText(const std::string& path, std::uint64_t size) {
  return File(path) + " has " + std::to_string(size) + " bytes, expected " +
         std::to_string(sizeof(StateFile)) +
         " (not ours, or from another version; remove it if no run uses it)";
}

std::string HeaderRefusedText(const std::string& path, const std::string& problem) {
  return File(path) + " " + problem + kRemoveIfUnused;
}

std::string LockHeldText(const std::string& path) {
  return File(path) + " is not finished and another process has held its lock for over " +
         std::to_string(kCreationLockWait.count() / 1000) + " s";
}

std::string KeepsVanishingText(const std::string& path) {
  return CannotText("open", path, "another process removed it each time it was about to be opened");
}

std::string HeldText(const std::string& path, const std::string& lockedBy) {
  return File(path) + " is held by another program: " + lockedBy;
}

std::string DeletedText(const std::string& path) { return File(path) + " was deleted while in use"; }

std::string MovedAwayText(const std::string& path) {
  return File(path) + " was deleted or moved away while in use";
}

std::string ReplacedText(const std::string& path) {
  return File(path) + " was replaced by another file while in use";
}

std::string ResizedText(const std::string& path, std::uint64_t size) {
  return File(path) + (size < sizeof(StateFile) ? " was cut short" : " grew") + " while in use (" +
         std::to_string(size) + " bytes, expected " + std::to_string(sizeof(StateFile)) + ")";
}

std::string CutShortText(const std::string& path) {
  return File(path) + " was cut short while in use (another process truncated it)";
}

}  // namespace quorvane::simport
