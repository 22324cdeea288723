#include "files/file_helpers.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "files/file_ops.h"
#include "files/unique_fd.h"

namespace zelvo {

namespace {

constexpr std::string_view kCrLf = "\r\n";

// Headline, path, error number, description (by default the system's text
// for the number) and path once more, joined by CR LF.
std::string FileErrorText(std::string_view headline, const std::string& path, int error_number,
                          std::string_view description = {}) {
  std::string text;
  text.append(headline).append(kCrLf);
  text.append(path).append(kCrLf);
  text.append(std::to_string(error_number)).append(kCrLf);
  text.append(description.empty() ? std::string_view(std::strerror(error_number)) : description)
      .append(kCrLf);
  text.append(path);
  return text;
}

}  // namespace

std::string ReadFileText(const std::string& path, std::string& text) {
  constexpr std::string_view kNotFound = "The file couldn't be found:";
  constexpr std::string_view kNotOpened = "The file couldn't be opened:";

  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return FileErrorText(kNotFound, path, errno);
  if (S_ISDIR(info.st_mode)) return FileErrorText(kNotFound, path, EISDIR);

  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return FileErrorText(kNotOpened, path, errno);
  UniqueFd closer(fd);

  std::string content;
  content.reserve(static_cast<std::size_t>(info.st_size));
  std::vector<char> buffer(64 * 1024);
  for (;;) {
    const ssize_t got = ::read(fd, buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      return FileErrorText(kNotOpened, path, errno);
    }
    if (got == 0) break;
    content.append(buffer.data(), static_cast<std::size_t>(got));
  }
  if (const int error = closer.Close(); error != 0) return FileErrorText(kNotOpened, path, error);
  text = std::move(content);
  return {};
}

std::string SaveFileText(const std::string& path, std::string_view text, bool* in_place) {
  const AtomicWrite result = WriteFileAtomically(path, text, SystemFileOps());
  if (in_place != nullptr) *in_place = result.in_place;
  if (!result.failure) return {};
  return FileErrorText("The file couldn't be saved:", path, result.failure->number,
                       result.failure->description);
}

bool FileExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool DirExists(const std::string& path) {
  // Like a directory listing: a directory (with or without a trailing "/") or a
  // file named without one yields an entry.
  if (path.empty()) return false;
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

std::string RemoveFile(const std::string& path) {
  if (::unlink(path.c_str()) == 0) return {};
  const int error = errno;
  return ErrorNumberText("Couldn't delete file.", error, std::strerror(error), "Error-Number");
}

std::string FullPath(const std::string& path) {
  if (path.empty() || path.find('\0') != std::string::npos) return {};

  std::string absolute;
  if (path.front() == '/') {
    absolute = path;
  } else {
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
      if (errno != ERANGE) return {};
      buffer.resize(buffer.size() * 2);
    }
    absolute = std::string(buffer.data()) + "/" + path;
  }

  // Lexical normalisation: drop empty and "." segments, let ".." remove the
  // segment before it (never above the root).
  std::vector<std::string_view> segments;
  std::string_view rest(absolute);
  while (!rest.empty()) {
    const std::size_t slash = rest.find('/');
    const std::string_view segment = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash + 1);
    if (segment.empty() || segment == ".") continue;
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
      continue;
    }
    segments.push_back(segment);
  }

  std::string result;
  for (const std::string_view segment : segments) result.append("/").append(segment);
  if (result.empty()) return "/";
  // A path that names a directory by its trailing separator keeps it.
  const bool names_directory = path.back() == '/' || path.ends_with("/.") ||
                               path.ends_with("/..") || path == "." || path == "..";
  if (names_directory) result.push_back('/');
  return result;
}

std::string ParentDir(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return path.substr(0, slash + 1);
}

std::uint32_t TextCrc16(std::string_view text) {
  std::uint32_t crc = 0xFFFF;
  for (const char character : text) {
    crc ^= static_cast<unsigned char>(character);
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 1U) != 0 ? (crc >> 1) ^ 0xA001U : crc >> 1;
    }
  }
  return crc & 0xFFFFU;
}

std::string JoinPath(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  if (dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

std::string ExecutableDir() {
  std::vector<char> buffer(4096);
  for (;;) {
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return {};
    if (static_cast<std::size_t>(length) < buffer.size()) {
      const std::string dir =
          ParentDir(std::string(buffer.data(), static_cast<std::size_t>(length)));
      if (dir.empty()) return {};
      return dir.size() == 1 ? dir : dir.substr(0, dir.size() - 1);
    }
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace zelvo
