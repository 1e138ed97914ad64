// The system seam under the state file, on its own: the promises the shared
// logic builds on, which a system file could break without any message
// changing (a file put in place over another, a lock that is never seen as
// taken, an identity that cannot tell two files apart).

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "port_libraries/simulated/state_file_system.h"
#include "temp_folder.h"

namespace quorvane::simport::statefs {
namespace {

using quorvane::testing::TempFolder;
using quorvane::testing::WriteAll;

// Opens path, failing the test when it cannot.
FileId OpenOrFail(const std::string& path) {
  FileId file = kNoFile;
  const Result opened = OpenExisting(path, &file);
  EXPECT_EQ(opened.status, Status::kDone) << ErrorText(opened.error);
  return file;
}

TEST(StateFileSystem, TemporaryIsPlacedOnlyWhereNothingIs) {
  const TempFolder folder;
  const std::string path = (folder / "state").string();
  FileId ignored = kNoFile;
  EXPECT_EQ(OpenExisting(path, &ignored).status, Status::kAbsent);

  for (const bool occupied : {false, true}) {
    SCOPED_TRACE(occupied ? "occupied" : "free");
    if (occupied) WriteAll(path, "somebody else's");
    std::string temporary;
    FileId file = kNoFile;
    ASSERT_EQ(CreateTemporary(path, &temporary, &file), 0u);
    EXPECT_NE(temporary, path);
    ASSERT_EQ(Allocate(file, 4096), 0u);
    Close(file);
    EXPECT_EQ(PlaceTemporary(temporary, path).status, occupied ? Status::kTaken : Status::kDone);
    RemoveTemporary(temporary);
    EXPECT_FALSE(std::filesystem::exists(temporary));
    EXPECT_EQ(std::filesystem::file_size(path), occupied ? 15u : 4096u)
        << "an existing file is never replaced";
    std::filesystem::remove(path);
  }
}

TEST(StateFileSystem, CreationLockIsSeenTakenThroughAnotherOpen) {
  const TempFolder folder;
  const std::string path = (folder / "state").string();
  WriteAll(path, "");
  const FileId first = OpenOrFail(path);
  const FileId second = OpenOrFail(path);
  ASSERT_EQ(TryCreationLock(first).status, Status::kDone);
  EXPECT_EQ(TryCreationLock(second).status, Status::kTaken);
  ReleaseCreationLock(first);
  EXPECT_EQ(TryCreationLock(second).status, Status::kDone);
  ReleaseCreationLock(second);
  Close(second);
  Close(first);
}

// What Displacement tells apart: the same file, another under the name, the
// name gone with the file kept elsewhere, and the file deleted.
TEST(StateFileSystem, IdentityFollowsTheFileNotTheName) {
  const TempFolder folder;
  const std::string path = (folder / "state").string();
  const std::string elsewhere = (folder / "moved").string();
  WriteAll(path, "x");
  const FileId file = OpenOrFail(path);
  Identity open;
  Identity named;
  ASSERT_EQ(IdentityOf(file, &open), 0u);
  ASSERT_EQ(NamedIdentity(path, &named).status, Status::kDone);
  EXPECT_EQ(named, open);

  std::filesystem::rename(path, elsewhere);
  EXPECT_EQ(NamedIdentity(path, &named).status, Status::kAbsent);
  bool deleted = true;
  ASSERT_EQ(Deleted(file, &deleted), 0u);
  EXPECT_FALSE(deleted);

  WriteAll(path, "y");
  ASSERT_EQ(NamedIdentity(path, &named).status, Status::kDone);
  EXPECT_FALSE(named == open);

  std::filesystem::remove(elsewhere);
  ASSERT_EQ(Deleted(file, &deleted), 0u);
  EXPECT_TRUE(deleted);
  Facts facts;
  ASSERT_EQ(Examine(file, &facts), 0u);
  EXPECT_FALSE(facts.named);
  Close(file);
}

}  // namespace
}  // namespace quorvane::simport::statefs
