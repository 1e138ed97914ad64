// The state file's logic, once for every platform: create it whole under a
// temporary name, check and map an existing one, fill an empty one under the
// creation lock, retry when it vanishes, and tell when it loses its place.
// The system calls are behind state_file_system.h.

#include "port_libraries/simulated/shared_state_file.h"

#include <chrono>
#include <string>
#include <thread>
#include <utility>

#include "common/monotonic_clock.h"
#include "port_libraries/simulated/port_state.h"
#include "port_libraries/simulated/state_file_rules.h"
#include "port_libraries/simulated/state_file_system.h"

namespace quorvane::simport {

struct SharedStateFile::System {
  statefs::FileId file = statefs::kNoFile;
  statefs::View view;
  statefs::Identity identity;
};

namespace {

using statefs::ErrorText;
using statefs::Status;

class OpenFile {
 public:
  explicit OpenFile(statefs::FileId file = statefs::kNoFile) : file_(file) {}
  ~OpenFile() {
    if (file_ != statefs::kNoFile) statefs::Close(file_);
  }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  statefs::FileId Get() const { return file_; }
  statefs::FileId* Receive() { return &file_; }
  statefs::FileId Release() { return std::exchange(file_, statefs::kNoFile); }

 private:
  statefs::FileId file_;
};

// A view of the whole state file, unmapped at the end unless released.
class Mapping {
 public:
  explicit Mapping(statefs::FileId file)
      : error_(statefs::Map(file, sizeof(StateFile), &view_)), mapped_(error_ == 0) {}
  ~Mapping() {
    if (mapped_) statefs::Unmap(view_, sizeof(StateFile));
  }
  Mapping(const Mapping&) = delete;
  Mapping& operator=(const Mapping&) = delete;
  bool Failed() const { return error_ != 0; }
  statefs::ErrorCode Error() const { return error_; }
  StateFile& State() const { return *static_cast<StateFile*>(view_.address); }
  statefs::View Release() {
    mapped_ = false;
    return view_;
  }

 private:
  statefs::View view_;
  statefs::ErrorCode error_;  // after view_, which Map fills
  bool mapped_;
};

// The creation lock, taken only to initialise an empty file or to look again
// at one whose header is missing. Waited for a bounded time: a process that
// holds it longer (`flock FILE sleep 60`) must not stop a start-up for good.
class CreationLock {
 public:
  explicit CreationLock(statefs::FileId file) : file_(file) {
    const auto deadline = MonotonicNanoseconds() + std::chrono::nanoseconds(kCreationLockWait).count();
    for (;;) {
      result_ = statefs::TryCreationLock(file_);
      if (result_.status != Status::kTaken || MonotonicNanoseconds() >= deadline) return;
      std::this_thread::sleep_for(kCreationLockRetry);
    }
  }
  ~CreationLock() {
    if (Locked()) statefs::ReleaseCreationLock(file_);
  }
  CreationLock(const CreationLock&) = delete;
  CreationLock& operator=(const CreationLock&) = delete;
  bool Locked() const { return result_.status == Status::kDone; }
  bool HeldByAnother() const { return result_.status == Status::kTaken; }
  // Why not, when not locked: LockHeldText or the system's reason.
  std::string Problem(const std::string& path) const {
    return HeldByAnother() ? LockHeldText(path) : CannotText("lock", path, ErrorText(result_.error));
  }

 private:
  statefs::FileId file_;
  statefs::Result result_;
};

// Sizes the file (allocated) and writes the power-on state, magic last.
bool SizeAndInitialise(statefs::FileId file, const std::string& path, std::string* problem) {
  if (const statefs::ErrorCode error = statefs::Allocate(file, sizeof(StateFile)); error != 0) {
    *problem = CannotText("size", path, ErrorText(error));
    return false;
  }
  const Mapping mapping(file);
  if (mapping.Failed()) {
    *problem = CannotText("map", path, ErrorText(mapping.Error()));
    return false;
  }
  InitialiseState(mapping.State());
  return true;
}

enum class Creation { kCreated, kAnotherWasFirst, kFailed };

// Builds the whole file under a temporary name in the same folder, then puts
// it at the path, which fails when a file of that name appeared meanwhile:
// nobody ever sees a file of ours half made, and no file but our own is ever
// written to.
Creation CreateWhole(const std::string& path, std::string* problem) {
  std::string temporary;
  bool built = false;
  {
    OpenFile file;
    if (const statefs::ErrorCode error = statefs::CreateTemporary(path, &temporary, file.Receive());
        error != 0) {
      *problem = CannotText("create", path, ErrorText(error));
      return Creation::kFailed;
    }
    built = SizeAndInitialise(file.Get(), path, problem);
  }  // closed before it is put in place
  // The temporary name goes whatever happens; the file, if placed, stays.
  const statefs::Result placed =
      built ? statefs::PlaceTemporary(temporary, path) : statefs::Result{Status::kFailed, 0};
  statefs::RemoveTemporary(temporary);
  if (!built) return Creation::kFailed;
  if (placed.status == Status::kDone) return Creation::kCreated;
  if (placed.status == Status::kTaken) return Creation::kAnotherWasFirst;
  *problem = CannotText("create", path, ErrorText(placed.error));
  return Creation::kFailed;
}

enum class Outcome { kMapped, kVanished, kRefused };

// Checks the open file, initialising it when empty, and maps it.
Outcome CheckAndMap(statefs::FileId file, const std::string& path, statefs::View* view,
                    std::string* problem) {
  const auto refuse = [&](std::string why) {
    *problem = std::move(why);
    return Outcome::kRefused;
  };
  statefs::Facts facts;
  if (const statefs::ErrorCode error = statefs::Examine(file, &facts); error != 0)
    return refuse(CannotText("examine", path, ErrorText(error)));
  // Opened as itself, not followed: anyone may plant a link under our name.
  if (facts.kind == statefs::Kind::kLink)
    return refuse(CannotText("open", path, "it is a symbolic link or junction, which is not followed"));
  if (facts.kind != statefs::Kind::kRegular) return refuse(NotRegularFileText(path));
  if (statefs::OwnedByAnother(file, path)) return refuse(OtherOwnerText(path));
  if (statefs::OthersMayWrite(file)) return refuse(OthersMayWriteText(path));
  if (facts.size == 0) {
    // An empty file (made by touch, say) is ours to fill; the lock keeps two
    // openers from both filling it, and whoever comes second finds it done.
    const CreationLock lock(file);
    if (!lock.Locked()) return refuse(lock.Problem(path));
    if (const statefs::ErrorCode error = statefs::Examine(file, &facts); error != 0)
      return refuse(CannotText("examine", path, ErrorText(error)));
    if (!facts.named) return Outcome::kVanished;
    if (facts.size == 0) {
      if (!SizeAndInitialise(file, path, problem)) return Outcome::kRefused;
      if (const statefs::ErrorCode error = statefs::Examine(file, &facts); error != 0)
        return refuse(CannotText("examine", path, ErrorText(error)));
    }
  }
  // Checked before mapping: on Windows a mapping larger than the file grows it.
  if (facts.size != sizeof(StateFile)) return refuse(WrongSizeText(path, facts.size));
  Mapping mapping(file);
  if (mapping.Failed()) return refuse(CannotText("map", path, ErrorText(mapping.Error())));
  std::string header = HeaderProblem(mapping.State());
  if (!header.empty()) {
    // An opener that is filling an empty file holds the lock until the
    // magic is in: look again once it is free. The file is only read.
    const CreationLock lock(file);
    if (lock.HeldByAnother()) return refuse(LockHeldText(path));
    header = HeaderProblem(mapping.State());
    if (!header.empty()) return refuse(HeaderRefusedText(path, header));
  }
  *view = mapping.Release();
  return Outcome::kMapped;
}

}  // namespace

std::string StateFilePath() {
  std::string chosen = statefs::EnvironmentValue(kPathVariable);
  if (!chosen.empty()) return chosen;
  if (const std::string own = statefs::PrivateFolder(); !own.empty()) return own + kDefaultFileName;
  return statefs::TemporaryFolder() + kDefaultFileName + "-" + statefs::UserName();
}

SharedStateFile::SharedStateFile() : system_(std::make_unique<System>()) {}

SharedStateFile::~SharedStateFile() {
  if (state_) statefs::Unmap(system_->view, sizeof(StateFile));
  if (system_->file != statefs::kNoFile) statefs::Close(system_->file);
}

bool SharedStateFile::Open(const std::string& path, std::string* error) {
  std::string problem;
  const auto fail = [&](const std::string& what) {
    if (error) *error = what;
    return false;
  };
  if (state_) return fail(CannotText("open", path, "this connection already has a file open"));
  for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
    OpenFile file;
    const statefs::Result opened = statefs::OpenExisting(path, file.Receive());
    if (opened.status != Status::kDone) {
      if (opened.status != Status::kAbsent) return fail(CannotText("open", path, ErrorText(opened.error)));
      if (CreateWhole(path, &problem) == Creation::kFailed) return fail(problem);
      continue;  // ours or another's, now complete: open it
    }
    statefs::View view;
    switch (CheckAndMap(file.Get(), path, &view, &problem)) {
      case Outcome::kRefused: return fail(problem);
      case Outcome::kVanished: continue;
      case Outcome::kMapped: break;
    }
    statefs::IdentityOf(file.Get(), &system_->identity);
    system_->view = view;
    system_->file = file.Release();
    state_ = static_cast<StateFile*>(view.address);
    path_ = path;
    return true;
  }
  return fail(KeepsVanishingText(path));
}

std::string SharedStateFile::Hold() {
  if (!state_) return {};
  std::string lockedBy;
  const statefs::Result held = statefs::Hold(system_->file, &lockedBy);
  if (held.status == Status::kDone) return {};
  if (held.status == Status::kTaken) return HeldText(path_, lockedBy);
  return CannotText("lock", path_, ErrorText(held.error));
}

std::string SharedStateFile::Displacement() const {
  if (!state_) return {};
  // The path first: a file renamed over ours has unlinked it too, and is
  // better told as a replacement.
  statefs::Identity named;
  const statefs::Result found = statefs::NamedIdentity(path_, &named);
  if (found.status == Status::kDone) {
    if (named != system_->identity) return ReplacedText(path_);
    // Cut short, or grown, by another process: the accesses past its end
    // would fail, and what lies there now is not ours.
    statefs::Facts facts;
    if (const statefs::ErrorCode error = statefs::Examine(system_->file, &facts); error != 0)
      return CannotText("examine", path_, ErrorText(error));
    return facts.size == sizeof(StateFile) ? std::string() : ResizedText(path_, facts.size);
  }
  if (found.status != Status::kAbsent) return CannotText("examine", path_, ErrorText(found.error));
  bool deleted = false;
  if (const statefs::ErrorCode error = statefs::Deleted(system_->file, &deleted); error != 0)
    return CannotText("examine", path_, ErrorText(error));
  return deleted ? DeletedText(path_) : MovedAwayText(path_);
}

std::string SharedStateFile::CutShort() const { return CutShortText(path_); }

}  // namespace quorvane::simport
