#include "app/instance_lock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "model/raised_error.h"
#include "support/temp_dir.h"

namespace zelvo {
namespace {

TEST(InstanceLockTest, TheFirstHolderRunsAndLaterOnesAreRefused) {
  testing::TempDir dir;
  const std::string path = dir.File(kLockFileName);
  auto first = std::make_unique<FileInstanceLock>(path);
  EXPECT_FALSE(first->AnotherInstanceRunning());
  EXPECT_TRUE(first->Held());
  EXPECT_FALSE(first->AnotherInstanceRunning());  // asking again keeps it

  FileInstanceLock second(path);
  EXPECT_TRUE(second.AnotherInstanceRunning());
  EXPECT_FALSE(second.Held());
  EXPECT_TRUE(first->Held());  // the running instance is not touched

  first.reset();  // the first instance ends
  FileInstanceLock third(path);
  EXPECT_FALSE(third.AnotherInstanceRunning());
}

TEST(InstanceLockTest, AnExistingLockFileFromAnEndedRunIsNoInstance) {
  testing::TempDir dir;
  testing::WriteFile(dir.File(kLockFileName), "left over");
  FileInstanceLock lock(dir.File(kLockFileName));
  EXPECT_FALSE(lock.AnotherInstanceRunning());
}

TEST(InstanceLockTest, ALockFileThatCannotBeMadeIsAnError) {
  FileInstanceLock lock("/proc/zelvo-no-such-dir/zelvo.lock");
  try {
    lock.AnotherInstanceRunning();
    FAIL() << "no error raised";
  } catch (const RaisedError& error) {
    EXPECT_EQ(error.Number(), -1);
    EXPECT_NE(error.Description().find("/proc/zelvo-no-such-dir/zelvo.lock"), std::string::npos);
  }
}

// A link, dangling or not, is never followed: the file it names is neither
// created nor locked.
TEST(InstanceLockTest, ALinkAsTheLockFileIsAnErrorThatSaysSo) {
  testing::TempDir dir;
  std::filesystem::create_symlink(dir.File("elsewhere"), dir.File(kLockFileName));
  FileInstanceLock lock(dir.File(kLockFileName));
  std::string error;
  try {
    lock.AnotherInstanceRunning();
  } catch (const RaisedError& raised) {
    error = raised.Description();
  }
  EXPECT_THAT(error, ::testing::HasSubstr("is a symbolic link, which is not followed"));
  EXPECT_FALSE(std::filesystem::exists(dir.File("elsewhere")));
}

}  // namespace
}  // namespace zelvo
