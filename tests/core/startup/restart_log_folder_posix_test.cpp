// The restart log in a folder that a group, or an access control list entry,
// lets other users write: there a link or a file of theirs is refused as in
// /tmp, and a folder that the user alone may write keeps the user's links.
// Played by two users of their own, a victim and a member of the victim's
// group, which takes root to set up.
#include <acl/libacl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/acl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>

#include "child_process.h"
#include "common/failure.h"
#include "restart_log_test_support.h"

namespace quorvane {
namespace {

using namespace std::chrono_literals;
using testing::ChildProcess;
using testing::FailureOf;
using testing::kStamp;
using testing::ReadAll;
using testing::WriteAll;

constexpr uid_t kVictim = 64911;
constexpr uid_t kGroupMember = 64912;
constexpr gid_t kVictimsGroup = 64911;

// Runs body as user (in group, with the victim's group beside it); its exit
// status, or -1 when the user could not be taken on.
int As(uid_t user, const std::function<int()>& body, std::string* errorOutput = nullptr) {
  ChildProcess child = ChildProcess::Function([&] {
    const gid_t groups[] = {kVictimsGroup};
    if (::setgroups(1, groups) != 0 || ::setgid(kVictimsGroup) != 0 || ::setuid(user) != 0) return 99;
    return body();
  });
  const int status = child.Finish(20s);
  if (errorOutput) *errorOutput = child.Stderr();
  return status == 99 ? -1 : status;
}

// The victim's start: 0 with the line written, 1 with the failure's text.
int VictimStarts(const std::filesystem::path& log, std::string* message) {
  return As(
      kVictim,
      [&] {
        const std::string failure = FailureOf([&] { AppendRestartStamp(testing::FakeClock(), log); });
        if (failure == "no failure") return 0;
        std::fputs(failure.c_str(), stderr);
        return 1;
      },
      message);
}

bool SetList(const std::filesystem::path& folder, const char* text) {
  const acl_t list = ::acl_from_text(text);
  if (list == nullptr) return false;
  const bool set = ::acl_set_file(folder.c_str(), ACL_TYPE_ACCESS, list) == 0;
  ::acl_free(list);
  return set;
}

class RestartLogFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "two other users take root to play";
    ASSERT_EQ(::chmod(top.path().c_str(), 0755), 0);
    // The victim's own file, which no one else may write or even reach.
    ASSERT_EQ(::mkdir(privateFolder.c_str(), 0700), 0);
    ASSERT_EQ(::chown(privateFolder.c_str(), kVictim, kVictimsGroup), 0);
    WriteAll(secret, kSecret);
    ASSERT_EQ(::chown(secret.c_str(), kVictim, kVictimsGroup), 0);
    ASSERT_EQ(::chmod(secret.c_str(), 0600), 0);
    ASSERT_EQ(::mkdir(work.c_str(), 0755), 0);
    ASSERT_EQ(::chown(work.c_str(), kVictim, kVictimsGroup), 0);
  }

  std::string Refusal(const std::string& why) const {
    return "the restart log " + log.string() + " is " + why +
           " in a folder that other users may write; refused, so that no other user's file is written";
  }

  // The group member points the log at the victim's file.
  bool MemberLinksTheLog() {
    return As(kGroupMember, [&] { return ::symlink(secret.c_str(), log.c_str()) == 0 ? 0 : 1; }) == 0;
  }

  static constexpr const char* kSecret = "the victim's own\n";
  testing::TempFolder top;
  std::filesystem::path privateFolder = top / "private";
  std::filesystem::path secret = privateFolder / "secret";
  std::filesystem::path work = top / "work";
  std::filesystem::path log = work / "Quorvane.log";
};

// The case shown: a 2775 folder of the victim's, a group member's link.
TEST_F(RestartLogFolder, GroupWritableFolderRefusesLinksAndOthersFiles) {
  ASSERT_EQ(::chmod(work.c_str(), 02775), 0);
  std::string message;
  ASSERT_TRUE(MemberLinksTheLog());
  EXPECT_EQ(VictimStarts(log, &message), 1);
  EXPECT_EQ(message, Refusal("a symbolic link"));
  EXPECT_EQ(ReadAll(secret), kSecret);
  std::filesystem::remove(log);

  ASSERT_EQ(::link(secret.c_str(), log.c_str()), 0);
  EXPECT_EQ(VictimStarts(log, &message), 1);
  EXPECT_EQ(message, Refusal("a file with other hard links"));
  EXPECT_EQ(ReadAll(secret), kSecret);
  std::filesystem::remove(log);

  ASSERT_EQ(As(kGroupMember, [&] { return ::creat(log.c_str(), 0666) >= 0 ? 0 : 1; }), 0);
  EXPECT_EQ(VictimStarts(log, &message), 1);
  EXPECT_EQ(message, Refusal("another user's file"));
  EXPECT_EQ(ReadAll(log), "");
  std::filesystem::remove(log);

  // A log of the victim's own is written there as anywhere.
  EXPECT_EQ(VictimStarts(log, &message), 0) << message;
  EXPECT_EQ(VictimStarts(log, &message), 0) << message;
  EXPECT_EQ(ReadAll(log), std::string(kStamp) + kStamp);
}

// The mode's bits say rwx for the group whenever a named entry may write
// (they show the list's mask), so only the list tells who that is.
TEST_F(RestartLogFolder, AccessControlListDecidesWhoElseMayWrite) {
  if (!SetList(work, "u::rwx,g::r-x,o::r-x"))
    GTEST_SKIP() << "this file system keeps no access control lists";
  const std::string member = std::to_string(kGroupMember), group = std::to_string(kVictimsGroup),
                    victim = std::to_string(kVictim);
  const struct {
    const char* what;
    uid_t owner;
    std::string list;
    bool othersWrite;
  } cases[] = {
      {"another user's entry", kVictim, "u::rwx,u:" + member + ":rwx,g::r-x,m::rwx,o::r-x", true},
      {"a group's entry", kVictim, "u::rwx,g::r-x,g:" + group + ":rwx,m::rwx,o::r-x", true},
      {"the owning group's entry", kVictim, "u::rwx,g::rwx,u:" + member + ":r-x,m::rwx,o::r-x", true},
      {"another user's entry under a mask without write", kVictim,
       "u::rwx,u:" + member + ":rwx,g::r-x,m::r-x,o::r-x", false},
      {"root's folder with an entry for the victim alone", 0,
       "u::rwx,u:" + victim + ":rwx,g::r-x,m::rwx,o::r-x", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(::chown(work.c_str(), c.owner, kVictimsGroup), 0);
    ASSERT_TRUE(SetList(work, c.list.c_str()));
    std::filesystem::remove(log);
    ASSERT_EQ(::symlink(secret.c_str(), log.c_str()), 0);
    std::string message;
    if (c.othersWrite) {
      EXPECT_EQ(VictimStarts(log, &message), 1);
      EXPECT_EQ(message, Refusal("a symbolic link"));
      EXPECT_EQ(ReadAll(secret), kSecret);
    } else {
      // The user's own arrangement, as in any folder of the user's.
      const std::string before = ReadAll(secret);
      EXPECT_EQ(VictimStarts(log, &message), 0) << message;
      EXPECT_EQ(ReadAll(secret), before + kStamp);
    }
  }
}

}  // namespace
}  // namespace quorvane
