#include "files/file_helpers.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace zelvo {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

std::string FiveLines(const std::string& headline, const std::string& path, int number,
                      const std::string& description) {
  return headline + "\r\n" + path + "\r\n" + std::to_string(number) + "\r\n" + description +
         "\r\n" + path;
}

// --- TextCrc16 -------------------------------------------------------------

struct CrcCase {
  std::string text;
  std::uint32_t crc;
};

class TextCrc16Test : public ::testing::TestWithParam<CrcCase> {};

TEST_P(TextCrc16Test, GivesTheModbusChecksum) {
  EXPECT_EQ(TextCrc16(GetParam().text), GetParam().crc);
}

std::string AllByteValues() {
  std::string text;
  for (int value = 0; value < 256; ++value) text.push_back(static_cast<char>(value));
  return text;
}

std::string LongText() {
  std::string text;
  for (int i = 0; i < 40000; ++i) text.push_back(static_cast<char>(i % 251));
  return text;
}

INSTANTIATE_TEST_SUITE_P(KnownValues, TextCrc16Test,
                         ::testing::Values(CrcCase{"123456789", 19255}, CrcCase{"", 65535},
                                           CrcCase{"A", 28799}, CrcCase{AllByteValues(), 56940},
                                           // Far beyond 32,766 characters.
                                           CrcCase{LongText(), 31665}));

TEST(TextCrc16, DependsOnEveryByteIncludingAFinalZero) {
  const std::string text = "<xsd:schema/>\r\n";
  EXPECT_NE(TextCrc16(text), TextCrc16(text + '\0'));
  EXPECT_NE(TextCrc16("ab"), TextCrc16("ba"));
}

// --- Reading and saving ----------------------------------------------------

TEST(ReadFileText, MissingFileGivesTheFoundTextAndKeepsTheTarget) {
  TempDir dir;
  const std::string path = dir.File("absent.xml");
  std::string text = "previous";
  EXPECT_EQ(ReadFileText(path, text),
            FiveLines("The file couldn't be found:", path, ENOENT, "No such file or directory"));
  EXPECT_EQ(text, "previous");
}

TEST(ReadFileText, DirectoryIsNotAFile) {
  TempDir dir;
  std::string text = "previous";
  EXPECT_EQ(ReadFileText(dir.path(), text),
            FiveLines("The file couldn't be found:", dir.path(), EISDIR, "Is a directory"));
  EXPECT_EQ(text, "previous");
}

TEST(ReadFileText, UnreadableFileGivesTheOpenedText) {
  // The length can be obtained and the file opened, but reading fails.
  const std::string path = "/proc/self/mem";
  std::string text = "previous";
  EXPECT_EQ(ReadFileText(path, text),
            FiveLines("The file couldn't be opened:", path, EIO, "Input/output error"));
  EXPECT_EQ(text, "previous");
}

TEST(ReadFileText, EmptyFileGivesEmptyText) {
  TempDir dir;
  const std::string path = dir.File("empty");
  WriteFile(path, "x");
  ASSERT_EQ(::truncate(path.c_str(), 0), 0);
  std::string text = "previous";
  EXPECT_EQ(ReadFileText(path, text), "");
  EXPECT_EQ(text, "");
}

TEST(SaveFileText, RoundTripsAllByteValues) {
  TempDir dir;
  const std::string path = dir.File("bytes.bin");
  std::string text = AllByteValues();
  text += "\r\n\n\r" + std::string(3, '\0');
  ASSERT_EQ(SaveFileText(path, text), "");
  std::string back;
  ASSERT_EQ(ReadFileText(path, back), "");
  EXPECT_EQ(back, text);
  EXPECT_EQ(TextCrc16(back), TextCrc16(text));
}

TEST(SaveFileText, ReplacesALongerFileExactlyAndLeavesNoTemporaryFile) {
  TempDir dir;
  const std::string path = dir.File("config.xsd");
  WriteFile(path, std::string(10000, 'x'));
  ASSERT_EQ(SaveFileText(path, "short"), "");
  EXPECT_EQ(ReadFile(path), "short");
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"config.xsd"});
}

TEST(SaveFileText, NewFileGetsOrdinaryPermissions) {
  TempDir dir;
  const std::string path = dir.File("config.xml");
  const mode_t old_mask = ::umask(022);
  ASSERT_EQ(SaveFileText(path, "x"), "");
  ::umask(old_mask);
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644U);
}

TEST(SaveFileText, FailuresGiveTheSavedTextAndLeaveNothingBehind) {
  TempDir dir;
  const std::string in_missing_dir = dir.File("missing/config.xml");
  EXPECT_EQ(SaveFileText(in_missing_dir, "x"),
            FiveLines("The file couldn't be saved:", in_missing_dir, ENOENT,
                      "Couldn't create a temporary file beside \"" + in_missing_dir +
                          "\": No such file or directory"));

  const std::string directory = dir.File("sub");
  ASSERT_EQ(::mkdir(directory.c_str(), 0755), 0);
  EXPECT_EQ(SaveFileText(directory, "x"),
            FiveLines("The file couldn't be saved:", directory, EISDIR,
                      "Couldn't replace \"" + directory + "\": Is a directory"));
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"sub"});
}

// --- Existence and deletion ------------------------------------------------

TEST(FileExists, TrueOnlyForFiles) {
  TempDir dir;
  WriteFile(dir.File("a.xml"), "x");
  EXPECT_TRUE(FileExists(dir.File("a.xml")));
  EXPECT_FALSE(FileExists(dir.File("b.xml")));
  EXPECT_FALSE(FileExists(dir.path()));
  EXPECT_FALSE(FileExists(""));
}

TEST(RemoveFile, DeletesOrExplains) {
  TempDir dir;
  const std::string path = dir.File("Log.xml");
  WriteFile(path, "x");
  EXPECT_EQ(RemoveFile(path), "");
  EXPECT_FALSE(FileExists(path));
  EXPECT_EQ(RemoveFile(path),
            "Couldn't delete file. Error-Number: 2 Error-Descripton: No such file or directory");
}

struct DirCase {
  std::string relative;  // below the temporary directory; "" for the empty path
  bool exists;
};

class DirExistsTest : public ::testing::TestWithParam<DirCase> {};

TEST_P(DirExistsTest, AnswersLikeADirectoryListing) {
  TempDir dir;
  ASSERT_EQ(::mkdir(dir.File("logs").c_str(), 0755), 0);
  WriteFile(dir.File("file.xml"), "x");
  const std::string path = GetParam().relative.empty() ? "" : dir.File(GetParam().relative);
  EXPECT_EQ(DirExists(path), GetParam().exists) << path;
}

INSTANTIATE_TEST_SUITE_P(Paths, DirExistsTest,
                         ::testing::Values(DirCase{"logs", true}, DirCase{"logs/", true},
                                           DirCase{"missing/", false}, DirCase{"missing", false},
                                           DirCase{"file.xml", true}, DirCase{"file.xml/", false},
                                           DirCase{"", false}));

TEST(DirExists, EmptyDirectoryWithTrailingSlash) {
  TempDir dir;
  EXPECT_TRUE(DirExists(dir.path() + "/"));
}

// --- Paths -------------------------------------------------------------------

struct PathCase {
  std::string input;
  std::string expected;
};

class ParentDirTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(ParentDirTest, KeepsUpToTheLastSlash) {
  EXPECT_EQ(ParentDir(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Paths, ParentDirTest,
                         ::testing::Values(PathCase{"/prog/Log.xml", "/prog/"},
                                           PathCase{"Log.xml", ""}, PathCase{"", ""},
                                           PathCase{"/", "/"}, PathCase{"/a/b/", "/a/b/"},
                                           PathCase{"logs/app.xml", "logs/"}));

// FullPath resolves relative paths against the current directory, which the
// fixture sets to a known place and restores afterwards.
class FullPathTest : public ::testing::TestWithParam<PathCase> {
 protected:
  void SetUp() override {
    char buffer[4096];
    ASSERT_NE(::getcwd(buffer, sizeof buffer), nullptr);
    saved_ = buffer;
    ASSERT_EQ(::mkdir(dir_.File("work").c_str(), 0755), 0);
    ASSERT_EQ(::chdir(dir_.File("work").c_str()), 0);
  }
  void TearDown() override { ASSERT_EQ(::chdir(saved_.c_str()), 0); }
  std::string Expand(const std::string& pattern) const {
    std::string result = pattern;
    const std::string marker = "$TMP";
    if (const auto at = result.find(marker); at != std::string::npos) {
      result.replace(at, marker.size(), dir_.path());
    }
    return result;
  }

  TempDir dir_;
  std::string saved_;
};

TEST_P(FullPathTest, ResolvesAndNormalises) {
  EXPECT_EQ(FullPath(Expand(GetParam().input)), Expand(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(Paths, FullPathTest,
                         ::testing::Values(PathCase{"/a/./b/../c", "/a/c"},
                                           PathCase{"//a//b", "/a/b"}, PathCase{"/..", "/"},
                                           PathCase{"/", "/"}, PathCase{"/a/b/", "/a/b/"},
                                           PathCase{"Log.xml", "$TMP/work/Log.xml"},
                                           PathCase{"logs/../app.xml", "$TMP/work/app.xml"},
                                           PathCase{"../x.xml", "$TMP/x.xml"},
                                           PathCase{".", "$TMP/work/"},
                                           PathCase{"./", "$TMP/work/"}, PathCase{"", ""},
                                           // Lexical: the named file or directory need not exist.
                                           PathCase{"missing/dir/", "$TMP/work/missing/dir/"}));

TEST(JoinPath, JoinsWithOneSlash) {
  EXPECT_EQ(JoinPath("/prog", "config.xml"), "/prog/config.xml");
  EXPECT_EQ(JoinPath("/prog/", "config.xml"), "/prog/config.xml");
  EXPECT_EQ(JoinPath("/", "config.xml"), "/config.xml");
  EXPECT_EQ(JoinPath("", "config.xml"), "config.xml");
}

TEST(ExecutableDir, HoldsThisTestProgram) {
  const std::string dir = ExecutableDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.front(), '/');
  EXPECT_NE(dir.back(), '/');
  EXPECT_TRUE(FileExists(JoinPath(dir, "files_file_helpers_test")));
}

}  // namespace
}  // namespace zelvo
