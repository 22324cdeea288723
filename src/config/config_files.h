// Makes sure config.xml and config.xsd stand in the program directory,
// writing them from the embedded copies and restoring a schema whose
// checksum differs. config.xml is never changed once it exists.
#pragma once

#include <string>

#include "log/log_types.h"

namespace zelvo {

// True when config.xml was missing and the example was written now. Throws
// RaisedError(-1, file error text) when a file cannot be written or read.
bool EnsureConfigFiles(const std::string& program_dir, PreLog& prelog);

}  // namespace zelvo
