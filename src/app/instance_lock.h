// The single-instance rule: a lock that one process of the program holds for
// its whole life.
#pragma once

#include <string>

namespace zelvo {

class InstanceLock {
 public:
  virtual ~InstanceLock() = default;
  // Takes the lock unless another instance holds it. True when another
  // instance is already running (that instance is left alone). Throws
  // RaisedError when the lock cannot be taken for another reason.
  virtual bool AnotherInstanceRunning() = 0;
};

// An exclusive flock on a file (created when missing), held until the
// process ends. The file itself is never a symbolic link (a link there fails
// with a text that says so); links in its folder's path are followed only as
// ResolveWriteTarget (files/file_ops.h) allows.
class FileInstanceLock final : public InstanceLock {
 public:
  explicit FileInstanceLock(std::string path) : path_(std::move(path)) {}
  ~FileInstanceLock() override;
  FileInstanceLock(const FileInstanceLock&) = delete;
  FileInstanceLock& operator=(const FileInstanceLock&) = delete;

  bool AnotherInstanceRunning() override;
  bool Held() const { return fd_ >= 0; }

 private:
  std::string path_;
  int fd_ = -1;
};

inline constexpr const char* kLockFileName = "zelvo.lock";

}  // namespace zelvo
