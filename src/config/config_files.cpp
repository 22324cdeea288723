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

bool EnsureConfigFiles(const std::string& program_dir, PreLog& prelog) {
  const std::string config_path = JoinPath(program_dir, "config.xml");
  const std::string schema_path = JoinPath(program_dir, "config.xsd");

  prelog.WritePreLog(log_msg::kCheckingConfigFiles);

  const bool config_created = !FileExists(config_path);
  if (!config_created) {
    prelog.WritePreLog(log_msg::kConfigFound);
  } else {
    prelog.WritePreLog(log_msg::kConfigMissing);
    RaiseIfFailed(SaveFileText(config_path, GetResourceText(kExampleConfigResource, "XML")));
    prelog.WritePreLog(log_msg::kConfigCreated);
  }

  const std::string schema = GetResourceText(kSchemaResource, "XML");
  if (FileExists(schema_path)) {
    prelog.WritePreLog(log_msg::kSchemaFound);
    std::string on_disk;
    RaiseIfFailed(ReadFileText(schema_path, on_disk));
    if (TextCrc16(schema) == TextCrc16(on_disk)) {
      prelog.WritePreLog(log_msg::kSchemaChecksumCorrect);
    } else {
      prelog.WritePreLog(log_msg::kSchemaChecksumIncorrect);
      RaiseIfFailed(RemoveFile(schema_path));
      RaiseIfFailed(SaveFileText(schema_path, schema));
      prelog.WritePreLog(log_msg::kSchemaReplaced);
    }
  } else {
    prelog.WritePreLog(log_msg::kSchemaMissing);
    RaiseIfFailed(SaveFileText(schema_path, schema));
    prelog.WritePreLog(log_msg::kSchemaCreated);
  }
  return config_created;
}

}  // namespace zelvo
