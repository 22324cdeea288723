// File, path and checksum helpers. Operations that can fail return
// an error text, empty on success; tests answer false on any failure. Texts
// are byte strings: each byte of a file is one character, written back as is.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zelvo {

// Five lines joined by CR LF: headline, path, errno, description, path.
std::string ReadFileText(const std::string& path, std::string& text);
// Through WriteFileAtomically (file_ops.h): the file keeps its permissions and
// its symbolic links, which are followed only as ResolveWriteTarget allows;
// the description says which step failed. `in_place` (when given) is set when
// the file had to be rewritten in place, without atomicity.
std::string SaveFileText(const std::string& path, std::string_view text,
                         bool* in_place = nullptr);
bool FileExists(const std::string& path);
bool DirExists(const std::string& path);
// "Couldn't delete file. Error-Number: N Error-Descripton: D" on failure.
std::string RemoveFile(const std::string& path);
// The absolute, normalised path resolved against the current directory; "" on failure.
std::string FullPath(const std::string& path);
// The path up to and including its last "/"; "" when it has none.
std::string ParentDir(const std::string& path);
// CRC-16/MODBUS of the bytes of `text`, any length.
std::uint32_t TextCrc16(std::string_view text);

// Joins a directory and a file name with "/".
std::string JoinPath(const std::string& dir, const std::string& name);

// The directory holding the running executable (through /proc/self/exe),
// without a trailing "/"; "" when it cannot be found.
std::string ExecutableDir();

}  // namespace zelvo
