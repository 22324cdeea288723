#include "config/config_files.h"

#include "config/resources.h"
#include "files/file_helpers.h"
#include "model/raised_error.h"

namespace zelvo {

namespace {

void RaiseIfFailed(const std::string& error_text) {
  if (!error_text.empty()) throw RaisedError(-1, error_text);
}

}  // namespace

void EnsureConfigFiles(const std::string& program_dir, PreLog& prelog) {
  const std::string config_path = JoinPath(program_dir, "config.xml");
  const std::string schema_path = JoinPath(program_dir, "config.xsd");

  prelog.WritePreLog(3, log_type::kInformation,
                     "Checking if \"config.xml\" and \"config.xsd\" exist.");

  if (FileExists(config_path)) {
    prelog.WritePreLog(6, log_type::kInformation, "\"config.xml\" were found.");
  } else {
    prelog.WritePreLog(4, log_type::kWarning,
                       "\"config.xml\" doesn't exist. Trying to create file.");
    RaiseIfFailed(SaveFileText(config_path, GetResourceText(kExampleConfigResource, "XML")));
    prelog.WritePreLog(5, log_type::kInformation, "\"config.xml\" were created.");
  }

  const std::string schema = GetResourceText(kSchemaResource, "XML");
  if (FileExists(schema_path)) {
    prelog.WritePreLog(9, log_type::kInformation,
                       "\"config.xsd\" were found. Controlling the checksum.");
    std::string on_disk;
    RaiseIfFailed(ReadFileText(schema_path, on_disk));
    if (TextCrc16(schema) == TextCrc16(on_disk)) {
      prelog.WritePreLog(10, log_type::kInformation, "\"config.xsd\" checksum were correct.");
    } else {
      prelog.WritePreLog(11, log_type::kError,
                         "\"config.xsd\" checksum were incorrect. Replaceing the file");
      RaiseIfFailed(RemoveFile(schema_path));
      RaiseIfFailed(SaveFileText(schema_path, schema));
      prelog.WritePreLog(12, log_type::kInformation, "\"config.xsd\" were replaced.");
    }
  } else {
    prelog.WritePreLog(7, log_type::kWarning,
                       "\"config.xsd\" doesn't exist. Trying to create file.");
    RaiseIfFailed(SaveFileText(schema_path, schema));
    prelog.WritePreLog(8, log_type::kInformation, "\"config.xsd\" were created.");
  }
}

}  // namespace zelvo
