#include "config/config_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "config/config_test_support.h"
#include "config/resources.h"
#include "files/file_helpers.h"
#include "model/raised_error.h"
#include "support/example_config.h"
#include "support/fake_clock.h"
#include "support/temp_dir.h"

namespace zelvo {
namespace {

using testing::Entries;
using testing::Entry;
using testing::ExampleConfigText;
using testing::FakeClock;
using testing::Ids;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

const Entry kChecking{3, 4, std::string(log_msg::kCheckingConfigFiles.text)};
const Entry kXmlMissing{4, 2, std::string(log_msg::kConfigMissing.text)};
const Entry kXmlCreated{5, 4, std::string(log_msg::kConfigCreated.text)};
const Entry kXmlFound{6, 4, std::string(log_msg::kConfigFound.text)};
const Entry kXsdMissing{7, 2, std::string(log_msg::kSchemaMissing.text)};
const Entry kXsdCreated{8, 4, std::string(log_msg::kSchemaCreated.text)};
const Entry kXsdFound{9, 4, std::string(log_msg::kSchemaFound.text)};
const Entry kXsdCorrect{10, 4, std::string(log_msg::kSchemaChecksumCorrect.text)};
const Entry kXsdIncorrect{11, 1, std::string(log_msg::kSchemaChecksumIncorrect.text)};
const Entry kXsdReplaced{12, 4, std::string(log_msg::kSchemaReplaced.text)};

class EnsureConfigFilesTest : public ::testing::Test {
 protected:
  std::string SchemaText() const { return GetResourceText(kSchemaResource, "XML"); }

  TempDir dir_;
  FakeClock clock_{46000.5};
  PreLog prelog_{clock_};
};

TEST_F(EnsureConfigFilesTest, FirstStartWritesBothFiles) {
  EXPECT_TRUE(EnsureConfigFiles(dir_.path(), prelog_));
  EXPECT_EQ(Entries(prelog_),
            (std::vector<Entry>{kChecking, kXmlMissing, kXmlCreated, kXsdMissing, kXsdCreated}));
  EXPECT_EQ(ReadFile(dir_.File("config.xml")), ExampleConfigText());
  const std::string schema = ReadFile(dir_.File("config.xsd"));
  EXPECT_EQ(schema, SchemaText());
  // The schema file ends with its last line break and one zero byte.
  EXPECT_TRUE(schema.ends_with("</xsd:schema>\r\n" + std::string(1, '\0')));
  EXPECT_TRUE(ReadFile(dir_.File("config.xml")).ends_with("</Zelvo>\r\n"));
}

TEST_F(EnsureConfigFilesTest, SchemaWrittenByTheProgramIsAcceptedAtEveryLaterStart) {
  EnsureConfigFiles(dir_.path(), prelog_);
  for (int start = 0; start < 2; ++start) {
    FakeClock clock(46001.0);
    PreLog later(clock);
    EnsureConfigFiles(dir_.path(), later);
    EXPECT_EQ(Entries(later), (std::vector<Entry>{kChecking, kXmlFound, kXsdFound, kXsdCorrect}));
  }
  EXPECT_EQ(ReadFile(dir_.File("config.xsd")), SchemaText());
}

TEST_F(EnsureConfigFilesTest, HandEditedSchemaIsRestored) {
  WriteFile(dir_.File("config.xml"), "<Zelvo/>");
  std::string edited = SchemaText();
  edited.replace(edited.find("maxOccurs=\"unbounded\""), 21, "maxOccurs=\"2\"");
  WriteFile(dir_.File("config.xsd"), edited);

  EnsureConfigFiles(dir_.path(), prelog_);
  EXPECT_EQ(Entries(prelog_),
            (std::vector<Entry>{kChecking, kXmlFound, kXsdFound, kXsdIncorrect, kXsdReplaced}));
  EXPECT_EQ(ReadFile(dir_.File("config.xsd")), SchemaText());
  EXPECT_EQ(ReadFile(dir_.File("config.xml")), "<Zelvo/>");
}

TEST_F(EnsureConfigFilesTest, SchemaWithoutItsFinalZeroByteIsReplaced) {
  std::string without_zero = SchemaText();
  without_zero.pop_back();
  WriteFile(dir_.File("config.xsd"), without_zero);
  EnsureConfigFiles(dir_.path(), prelog_);
  EXPECT_EQ(Ids(prelog_), (std::vector<std::int32_t>{3, 4, 5, 9, 11, 12}));
  EXPECT_EQ(ReadFile(dir_.File("config.xsd")), SchemaText());
}

TEST_F(EnsureConfigFilesTest, SchemaOfFortyKilobytesIsCheckedAndRepaired) {
  std::string large = SchemaText();
  large.insert(large.size() - 1, std::string(40 * 1024, ' '));
  WriteFile(dir_.File("config.xsd"), large);
  EnsureConfigFiles(dir_.path(), prelog_);
  EXPECT_EQ(Ids(prelog_), (std::vector<std::int32_t>{3, 4, 5, 9, 11, 12}));
  EXPECT_EQ(ReadFile(dir_.File("config.xsd")), SchemaText());
}

TEST_F(EnsureConfigFilesTest, ExistingConfigIsNeverLookedAtOrChanged) {
  const std::string broken = "<Zelvo><Settings>\r\n not xml at all &&";
  WriteFile(dir_.File("config.xml"), broken);
  EXPECT_FALSE(EnsureConfigFiles(dir_.path(), prelog_));
  EXPECT_EQ(Ids(prelog_), (std::vector<std::int32_t>{3, 6, 7, 8}));
  EXPECT_EQ(ReadFile(dir_.File("config.xml")), broken);
}

TEST_F(EnsureConfigFilesTest, FailedSaveRaisesTheFileErrorText) {
  const std::string missing_dir = dir_.File("gone");
  try {
    EnsureConfigFiles(missing_dir, prelog_);
    FAIL() << "expected an error";
  } catch (const RaisedError& error) {
    const std::string path = missing_dir + "/config.xml";
    EXPECT_EQ(error.Number(), -1);
    EXPECT_EQ(error.Description(), "The file couldn't be saved:\r\n" + path +
                                       "\r\n2\r\nCouldn't create a temporary file beside \"" +
                                       path + "\": No such file or directory\r\n" + path);
  }
  EXPECT_EQ(Entries(prelog_), (std::vector<Entry>{kChecking, kXmlMissing}));
}

TEST_F(EnsureConfigFilesTest, DirectoryInPlaceOfTheSchemaRaisesAfterEntrySeven) {
  ASSERT_EQ(::mkdir(dir_.File("config.xsd").c_str(), 0755), 0);
  try {
    EnsureConfigFiles(dir_.path(), prelog_);
    FAIL() << "expected an error";
  } catch (const RaisedError& error) {
    EXPECT_EQ(error.Number(), -1);
    EXPECT_TRUE(error.Description().starts_with("The file couldn't be saved:\r\n"));
  }
  EXPECT_EQ(Ids(prelog_), (std::vector<std::int32_t>{3, 4, 5, 7}));
}

}  // namespace
}  // namespace zelvo
