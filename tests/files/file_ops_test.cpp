#include "files/file_ops.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>

#include "files/file_helpers.h"
#include "support/temp_dir.h"

namespace zelvo {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// A folder where no file can be made (as for a process without write
// permission on it), or names taken by stale temporary files.
class FolderOps final : public FileOps {
 public:
  int refuse_create = 0;  // errno for every new file
  int taken = 0;          // how many names in a row are taken
  int CreateNew(const std::string& path, mode_t mode) override {
    if (refuse_create != 0) {
      errno = refuse_create;
      return -1;
    }
    if (taken > 0) {
      --taken;
      errno = EEXIST;
      return -1;
    }
    return FileOps::CreateNew(path, mode);
  }
};

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

struct WriteCase {
  std::string name;
  std::function<void(const TempDir&)> setup;  // makes "file" (and whatever it needs)
  int refuse_create;
  int taken;
  std::string error;  // "" when the write must succeed; else a part of the description
  std::function<void(const TempDir&)> check;  // after a successful write
  bool needs_root = false;                    // gives files to another user
};

// Another user, for links that are not this process's own.
constexpr uid_t kOtherUser = 65534;

void OwnedBy(const std::string& path, uid_t user) {
  ASSERT_EQ(::lchown(path.c_str(), user, static_cast<gid_t>(-1)), 0) << path;
}

class AtomicWriteTest : public ::testing::TestWithParam<WriteCase> {};

TEST_P(AtomicWriteTest, ReplacesTheFileAndKeepsWhatSurroundsIt) {
  const WriteCase& c = GetParam();
  if (c.needs_root && ::geteuid() != 0) GTEST_SKIP() << "needs root to give files away";
  TempDir dir;
  c.setup(dir);
  FolderOps ops;
  ops.refuse_create = c.refuse_create;
  ops.taken = c.taken;
  const AtomicWrite write = WriteFileAtomically(dir.File("file"), "new bytes", ops);
  if (!c.error.empty()) {
    ASSERT_TRUE(write.failure.has_value());
    EXPECT_THAT(write.failure->description, HasSubstr(c.error));
    return;
  }
  ASSERT_FALSE(write.failure.has_value()) << write.failure->description;
  EXPECT_EQ(write.in_place, c.refuse_create != 0);
  c.check(dir);
  for (const std::string& name : dir.Names()) {
    EXPECT_EQ(name.find(".tmp-"), std::string::npos) << "left behind: " << name;
  }
}

void PlainFile(const TempDir& dir) {
  WriteFile(dir.File("file"), "old content, longer than the new");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AtomicWriteTest,
    ::testing::Values(
        WriteCase{"NewFile", [](const TempDir&) {}, 0, 0, "",
                  [](const TempDir& dir) { EXPECT_EQ(ReadFile(dir.File("file")), "new bytes"); }},
        WriteCase{"KeepsTheMode",
                  [](const TempDir& dir) {
                    PlainFile(dir);
                    ::chmod(dir.File("file").c_str(), 0640);
                  },
                  0, 0, "",
                  [](const TempDir& dir) {
                    EXPECT_EQ(ReadFile(dir.File("file")), "new bytes");
                    EXPECT_EQ(ModeOf(dir.File("file")), 0640U);
                  }},
        WriteCase{"WritesThroughALink",
                  [](const TempDir& dir) {
                    std::filesystem::create_directory(dir.File("real"));
                    WriteFile(dir.File("real/target"), "old");
                    ::chmod(dir.File("real/target").c_str(), 0600);
                    std::filesystem::create_symlink("real/target", dir.File("file"));
                  },
                  0, 0, "",
                  [](const TempDir& dir) {
                    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("file")));
                    EXPECT_EQ(ReadFile(dir.File("real/target")), "new bytes");
                    EXPECT_EQ(ModeOf(dir.File("real/target")), 0600U);
                    EXPECT_THAT(dir.Names(), ElementsAre("file", "real"));
                  }},
        WriteCase{"CreatesTheFileOfADanglingLink",
                  [](const TempDir& dir) {
                    std::filesystem::create_symlink(dir.File("missing"), dir.File("file"));
                  },
                  0, 0, "",
                  [](const TempDir& dir) {
                    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("file")));
                    EXPECT_EQ(ReadFile(dir.File("missing")), "new bytes");
                  }},
        WriteCase{"TakesTheNextNameAfterStaleTemporaryFiles", PlainFile, 0, 5, "",
                  [](const TempDir& dir) { EXPECT_EQ(ReadFile(dir.File("file")), "new bytes"); }},
        WriteCase{"RewritesInPlaceInAFolderThatTakesNoNewFile",
                  [](const TempDir& dir) {
                    PlainFile(dir);
                    ::chmod(dir.File("file").c_str(), 0604);
                  },
                  EACCES, 0, "",
                  [](const TempDir& dir) {
                    EXPECT_EQ(ReadFile(dir.File("file")), "new bytes");
                    EXPECT_EQ(ModeOf(dir.File("file")), 0604U);
                  }},
        WriteCase{"SaysWhyANewFileCannotBeMade", [](const TempDir&) {}, EACCES, 0,
                  "Couldn't create a temporary file beside \"", nullptr},
        WriteCase{"SaysWhichLinkPointsNowhere",
                  [](const TempDir& dir) {
                    std::filesystem::create_symlink(dir.File("no/such/dir"), dir.File("file"));
                  },
                  0, 0, "The symbolic link \"", nullptr},
        WriteCase{"SaysWhenLinksLoop",
                  [](const TempDir& dir) {
                    std::filesystem::create_symlink(dir.File("file"), dir.File("file"));
                  },
                  0, 0, "Couldn't follow the symbolic link \"", nullptr},
        WriteCase{"RefusesALinkOfAnotherUserToAFileNotTheirs",
                  [](const TempDir& dir) {
                    WriteFile(dir.File("target"), "old");
                    std::filesystem::create_symlink("target", dir.File("file"));
                    OwnedBy(dir.File("file"), kOtherUser);
                  },
                  0, 0, "belongs to user 65534, neither to this program's user", nullptr, true},
        WriteCase{"RefusesALinkedFolderOfAnotherUser",
                  [](const TempDir& dir) {
                    std::filesystem::create_directory(dir.File("real"));
                    std::filesystem::create_symlink("real", dir.File("folder"));
                    OwnedBy(dir.File("folder"), kOtherUser);
                    std::filesystem::create_symlink("folder/x", dir.File("file"));
                  },
                  0, 0, "The symbolic link \"", nullptr, true},
        WriteCase{"FollowsALinkOfTheOwnerOfItsTarget",
                  [](const TempDir& dir) {
                    WriteFile(dir.File("target"), "old");
                    OwnedBy(dir.File("target"), kOtherUser);
                    std::filesystem::create_symlink("target", dir.File("file"));
                    OwnedBy(dir.File("file"), kOtherUser);
                  },
                  0, 0, "",
                  [](const TempDir& dir) {
                    EXPECT_EQ(ReadFile(dir.File("target")), "new bytes");
                    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("file")));
                  },
                  true},
        WriteCase{"RefusesADirectory",
                  [](const TempDir& dir) { std::filesystem::create_directory(dir.File("file")); },
                  0, 0, "Couldn't replace \"", nullptr}),
    [](const ::testing::TestParamInfo<WriteCase>& info) { return info.param.name; });

TEST(AtomicWrite, WithoutReplaceAnExistingFileIsKept) {
  TempDir dir;
  WriteFile(dir.File("file"), "old");
  const AtomicWrite write = WriteFileAtomically(dir.File("file"), "new", SystemFileOps(), false);
  ASSERT_TRUE(write.failure.has_value());
  EXPECT_EQ(write.failure->number, EEXIST);
  EXPECT_EQ(ReadFile(dir.File("file")), "old");
  EXPECT_THAT(dir.Names(), ElementsAre("file"));
}

// SaveFileText goes through the same writer.
TEST(AtomicWrite, SaveFileTextKeepsModeAndLink) {
  TempDir dir;
  WriteFile(dir.File("config.xsd"), "old");
  ::chmod(dir.File("config.xsd").c_str(), 0600);
  std::filesystem::create_symlink("config.xsd", dir.File("link.xsd"));
  ASSERT_EQ(SaveFileText(dir.File("link.xsd"), "new"), "");
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.xsd")));
  EXPECT_EQ(ReadFile(dir.File("config.xsd")), "new");
  EXPECT_EQ(ModeOf(dir.File("config.xsd")), 0600U);
}

TEST(ErrorNumberText, JoinsHeadlineNumberAndDescription) {
  EXPECT_EQ(ErrorNumberText("Couldn't write PreLog.", -1, "why"),
            "Couldn't write PreLog. Error-number: -1 Error-Descripton: why");
  EXPECT_EQ(ErrorNumberText("Couldn't delete file.", 2, "gone", "Error-Number"),
            "Couldn't delete file. Error-Number: 2 Error-Descripton: gone");
}

}  // namespace
}  // namespace zelvo
