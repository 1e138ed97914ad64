#pragma once

// What both platform variants of the state file follow: how long a creation
// lock is waited for, and the texts that say why a file is refused or lost.
// Every text names the file by the path it was given.

#include <chrono>
#include <cstdint>
#include <string>

namespace quorvane::simport {

// The lock on the state file guards only the initialisation of an empty file
// (and the check of one whose header is missing), which takes microseconds.
// A lock held longer is another program's: an opener waits this long,
// retrying, then gives up with LockHeldText. A complete file is opened
// without the lock.
inline constexpr std::chrono::milliseconds kCreationLockWait{2000};
inline constexpr std::chrono::milliseconds kCreationLockRetry{10};

// Open, and create when absent, is retried this often when the file
// vanishes in between (another process removing it): then it gives up.
inline constexpr int kOpenAttempts = 5;

// "cannot <doing> the simulated port file <path>: <reason>"
std::string CannotText(const std::string& doing, const std::string& path, const std::string& reason);

std::string NotRegularFileText(const std::string& path);
std::string OtherOwnerText(const std::string& path);
std::string OthersMayWriteText(const std::string& path);
std::string WrongSizeText(const std::string& path, std::uint64_t size);
// problem as HeaderProblem gives it ("is not a simulated port file ...").
std::string HeaderRefusedText(const std::string& path, const std::string& problem);
std::string LockHeldText(const std::string& path);
std::string KeepsVanishingText(const std::string& path);
// Another program drives the port of this file; lockedBy says who, as the
// system tells it ("\"quorvane-console\" (process 1234) has locked it").
std::string HeldText(const std::string& path, const std::string& lockedBy);

// The file in use lost its place.
std::string DeletedText(const std::string& path);
std::string MovedAwayText(const std::string& path);
std::string ReplacedText(const std::string& path);
// The file in use no longer has its size: size bytes now.
std::string ResizedText(const std::string& path, std::uint64_t size);
// An access met the end of the file in use, which someone cut short.
std::string CutShortText(const std::string& path);

}  // namespace quorvane::simport
