#include "app/program_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>

#include "app/headless_program.h"
#include "support/temp_dir.h"

namespace zelvo {
namespace {

using testing::TempDir;

struct Case {
  const char* name;
  std::string executable_dir;
  bool writable;                           // what the probe says of executable_dir
  std::map<std::string, std::string> env;  // the variables that are set
  std::string account_home;                // the passwd entry's home
  std::string dir;
  bool per_user;
  bool error;
};

void PrintTo(const Case& c, std::ostream* out) {
  *out << c.name;
}

class ChooseProgramDirTest : public ::testing::TestWithParam<Case> {};

TEST_P(ChooseProgramDirTest, Chooses) {
  const Case& c = GetParam();
  ProgramDirProbe probe;
  probe.environment = [&](const std::string& name) -> std::optional<std::string> {
    const auto found = c.env.find(name);
    if (found == c.env.end()) return std::nullopt;
    return found->second;
  };
  probe.writable = [&](const std::string& dir) {
    EXPECT_EQ(dir, c.executable_dir.substr(0, c.executable_dir.find_last_not_of('/') + 1));
    return c.writable;
  };
  probe.account_home = [&] { return c.account_home; };

  const ProgramDirChoice choice = ChooseProgramDir(c.executable_dir, probe);
  EXPECT_EQ(choice.dir, c.dir);
  EXPECT_EQ(choice.per_user, c.per_user);
  EXPECT_EQ(!choice.error.empty(), c.error) << choice.error;
}

const std::map<std::string, std::string> kHome{{"HOME", "/home/ann"}};
const std::map<std::string, std::string> kXdg{{"HOME", "/home/ann"},
                                              {"XDG_CONFIG_HOME", "/srv/conf/"}};

INSTANTIATE_TEST_SUITE_P(
    Table, ChooseProgramDirTest,
    ::testing::Values(
        Case{"BuildTree", "/work/zelvo/build/src/app", true, kXdg, "", "/work/zelvo/build/src/app",
             false, false},
        Case{"UsersFolderWithSlash", "/home/ann/zelvo/", true, kHome, "", "/home/ann/zelvo", false,
             false},
        // Under /usr even when the user may write there (root).
        Case{"UsrBin", "/usr/bin", true, kHome, "", "/home/ann/.config/zelvo", true, false},
        Case{"UsrLocalBin", "/usr/local/bin", true, kXdg, "", "/srv/conf/zelvo", true, false},
        Case{"UsrItself", "/usr", true, kHome, "", "/home/ann/.config/zelvo", true, false},
        Case{"NotUsr", "/usrlocal/bin", true, kHome, "", "/usrlocal/bin", false, false},
        Case{"UnwritableOpt", "/opt/zelvo/bin", false, kHome, "", "/home/ann/.config/zelvo", true,
             false},
        Case{"XdgSet", "/opt/zelvo/bin", false, kXdg, "", "/srv/conf/zelvo", true, false},
        Case{"XdgEmpty",
             "/usr/bin",
             true,
             {{"HOME", "/home/ann"}, {"XDG_CONFIG_HOME", ""}},
             "",
             "/home/ann/.config/zelvo",
             true,
             false},
        Case{"XdgRelativeIgnored",
             "/usr/bin",
             true,
             {{"HOME", "/home/ann"}, {"XDG_CONFIG_HOME", "conf"}},
             "",
             "/home/ann/.config/zelvo",
             true,
             false},
        Case{"XdgWithoutHome",
             "/usr/bin",
             true,
             {{"XDG_CONFIG_HOME", "/srv/conf"}},
             "",
             "/srv/conf/zelvo",
             true,
             false},
        Case{"HomeUnsetAccountHome",
             "/usr/bin",
             true,
             {},
             "/var/lib/zelvo",
             "/var/lib/zelvo/.config/zelvo",
             true,
             false},
        Case{"RootHome", "/usr/bin", true, {{"HOME", "/"}}, "", "/.config/zelvo", true, false},
        Case{"HomeUnsetNoAccount", "/usr/bin", true, {}, "", "", false, true},
        Case{"HomeRelativeNoAccount", "/usr/bin", true, {{"HOME", "ann"}}, "", "", false, true},
        // A writable build tree never looks at HOME.
        Case{"BuildTreeWithoutHome", "/work/build", true, {}, "", "/work/build", false, false},
        Case{"NoExecutableDir", "", true, kHome, "", "", false, true}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(MakeProgramDirTest, MakesMissingParentsPrivateAndAcceptsAnExistingDir) {
  TempDir temp;
  const std::string dir = temp.File("config/zelvo");
  ASSERT_EQ(MakeProgramDir(dir), "");
  struct stat status {};
  ASSERT_EQ(::stat(dir.c_str(), &status), 0);
  EXPECT_TRUE(S_ISDIR(status.st_mode));
  EXPECT_EQ(status.st_mode & 077, 0u);
  ASSERT_EQ(::stat(temp.File("config").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 077, 0u);
  EXPECT_EQ(MakeProgramDir(dir), "");

  testing::WriteFile(temp.File("file"), "x");
  EXPECT_NE(MakeProgramDir(temp.File("file")), "");
  EXPECT_NE(MakeProgramDir(temp.File("file/zelvo")), "");
}

// A headless run of the window's program goes to the program without a
// window, in the directory chosen here; a missing one is named.
TEST(HeadlessProgramTest, HandsTheRunOnWithItsDirectoryAndNamesAMissingProgram) {
  using ::testing::ElementsAre;
  EXPECT_THAT(HeadlessProgramPaths("/usr/bin", "../libexec/zelvo"),
              ElementsAre("/usr/bin/zelvo-headless", "/usr/bin/../libexec/zelvo/zelvo-headless"));
  EXPECT_THAT(HeadlessProgramPaths("", "../libexec/zelvo"), ElementsAre());
  EXPECT_THAT(HeadlessArguments({"zelvo", "--headless"}, "/home/u/.config/zelvo", false),
              ElementsAre("zelvo", "--headless", "--dir", "/home/u/.config/zelvo"));
  EXPECT_THAT(HeadlessArguments({"zelvo", "--dir", "d", "--headless"}, "/abs/d", true),
              ElementsAre("zelvo", "--dir", "d", "--headless"));
  TempDir temp;
  EXPECT_EQ(ExecHeadlessProgram({temp.File("a"), temp.File("b")}, {"zelvo"}),
            "zelvo-headless not found at " + temp.File("a") + " or " + temp.File("b"));
}

}  // namespace
}  // namespace zelvo
