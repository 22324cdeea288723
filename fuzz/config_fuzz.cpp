// Feeds each input as config.xml to the loader and the readers: loading,
// validation against the embedded schema, settings, rules, output names and
// the log settings. Every failure must arrive as a RaisedError; nothing may
// crash or leak.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "config/config_files.h"
#include "config/config_loader.h"
#include "files/file_helpers.h"
#include "model/clock.h"
#include "model/raised_error.h"
#include "outputs/memory_port.h"

namespace {

class FixedClock final : public zelvo::Clock {
 public:
  zelvo::OleDate LocalNow() const override { return 46082.75; }
  std::chrono::steady_clock::time_point MonotonicNow() const override { return {}; }
  std::chrono::system_clock::time_point UtcNow() const override { return {}; }
};

// A program directory holding config.xsd, made once per process (in memory
// where /dev/shm exists, since every failed load writes config.example.xml)
// and removed at exit.
class ProgramDirectory {
 public:
  ProgramDirectory() {
    path_ = zelvo::DirExists("/dev/shm/") ? "/dev/shm/zelvo-fuzz-XXXXXX" : "/tmp/zelvo-fuzz-XXXXXX";
    if (::mkdtemp(path_.data()) == nullptr) abort();
    FixedClock clock;
    zelvo::PreLog prelog(clock);
    zelvo::EnsureConfigFiles(path_, prelog);
  }
  ~ProgramDirectory() {
    for (const char* name : {"config.xml", "config.xsd", "config.example.xml"}) {
      zelvo::RemoveFile(zelvo::JoinPath(path_, name));
    }
    ::rmdir(path_.c_str());
  }
  ProgramDirectory(const ProgramDirectory&) = delete;
  ProgramDirectory& operator=(const ProgramDirectory&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const ProgramDirectory program_directory;
  const std::string& dir = program_directory.path();
  {
    std::ofstream out(zelvo::JoinPath(dir, "config.xml"), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }

  FixedClock clock;
  zelvo::PreLog prelog(clock);
  zelvo::ConfigDocument document;
  try {
    zelvo::LoadConfigDocument(dir, prelog, document);
  } catch (const zelvo::RaisedError&) {
    // A failed validation keeps the document; the readers must cope with it.
  }

  std::string error;
  (void)document.IsLoaded();
  (void)document.ReadLogSettings(error);
  try {
    (void)zelvo::ReadSettings(document);
  } catch (const zelvo::RaisedError&) {
  }
  try {
    zelvo::IOCommands commands;
    zelvo::ReadIOCommands(document, clock, commands);
  } catch (const zelvo::RaisedError&) {
  }
  try {
    zelvo::MemoryPort port;
    zelvo::Outputs outputs(port);
    zelvo::ReadOutputNames(document, outputs);
  } catch (const zelvo::RaisedError&) {
  }
  return 0;
}
