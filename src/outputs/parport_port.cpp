#include "outputs/parport_port.h"

#include <cerrno>
#include <system_error>

#if defined(__linux__)
#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zelvo {
namespace {

std::string ErrnoText(int error) {
  return std::error_code(error, std::generic_category()).message();
}

#if defined(__linux__)
int Result(int rc) {
  return rc < 0 ? -errno : rc;
}

class Ppdev final : public ParportSystem {
 public:
  int Open(const std::string& path) override {
    return Result(::open(path.c_str(), O_RDWR | O_CLOEXEC));
  }
  int Claim(int fd) override { return Result(::ioctl(fd, PPCLAIM)); }
  int WriteData(int fd, std::uint8_t byte) override {
    unsigned char data = byte;
    return Result(::ioctl(fd, PPWDATA, &data));
  }
  int Release(int fd) override { return Result(::ioctl(fd, PPRELEASE)); }
  int Close(int fd) override { return Result(::close(fd)); }
};
#else
class Ppdev final : public ParportSystem {
 public:
  int Open(const std::string&) override { return -ENOSYS; }
  int Claim(int) override { return -ENOSYS; }
  int WriteData(int, std::uint8_t) override { return -ENOSYS; }
  int Release(int) override { return -ENOSYS; }
  int Close(int) override { return -ENOSYS; }
};
#endif

std::string OpenError(const std::string& device, int error) {
  std::string text = "Cannot open the parallel port " + device + ": " + ErrnoText(error) + ". ";
  switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return text +
             "Load the parallel port driver with 'modprobe ppdev' (as root), or choose another "
             "device with the OutputDevice setting.";
    case EACCES:
    case EPERM:
      return text +
             "Add the user to group lp ('usermod -aG lp USER', then log in again), or run as "
             "root.";
    case ENOSYS:
      return text + "The ppdev interface is only available on Linux.";
    default:
      return text + "Check the OutputDevice setting.";
  }
}

std::string ClaimError(const std::string& device, int error) {
  std::string text = "Cannot claim the parallel port " + device + ": " + ErrnoText(error) + ". ";
  if (error == ENOTTY || error == EINVAL)
    return text + device +
           " is not a parallel port device; use a /dev/parportN device of the ppdev driver "
           "('modprobe ppdev').";
  return text + "Another program may be using the port.";
}

}  // namespace

ParportSystem& LinuxParportSystem() {
  static Ppdev system;
  return system;
}

bool ParportDeviceExists(const std::string& path) {
#if defined(__linux__)
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
#else
  (void)path;
  return false;
#endif
}

PortWriterChoice ParportPort::Open(const std::string& device, ParportSystem& system) {
  PortWriterChoice choice;
  const int fd = system.Open(device);
  if (fd < 0) {
    choice.error = OpenError(device, -fd);
    return choice;
  }
  if (const int rc = system.Claim(fd); rc < 0) {
    system.Close(fd);
    choice.error = ClaimError(device, -rc);
    return choice;
  }
  choice.writer.reset(new ParportPort(device, fd, system));
  return choice;
}

ParportPort::ParportPort(std::string device, int fd, ParportSystem& system)
    : device_(std::move(device)), fd_(fd), system_(system) {}

ParportPort::~ParportPort() {
  system_.Release(fd_);
  system_.Close(fd_);
}

std::string ParportPort::Write(std::uint8_t byte) {
  if (const int rc = system_.WriteData(fd_, byte); rc < 0)
    return "Cannot write to the parallel port " + device_ + ": " + ErrnoText(-rc) + ".";
  return {};
}

std::string ParportPort::Describe() const {
  return "parallel port " + device_ + " (ppdev)";
}

}  // namespace zelvo
