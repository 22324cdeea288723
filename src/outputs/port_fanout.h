// Several port back-ends driven as one: every byte goes to each of them in
// order. A back-end that fails does not stop the others; since each write
// carries the whole byte, the next write that succeeds brings it in line.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "outputs/port_backend.h"
#include "outputs/port_writer.h"

namespace zelvo {

class PortFanout final : public PortWriter {
 public:
  explicit PortFanout(std::vector<std::unique_ptr<PortWriter>> members);

  // Writes `byte` to every member. Returns "" when all succeeded, else one
  // line per failed member: its Describe() text, ": ", its error text.
  std::string Write(std::uint8_t byte) override;
  // The members' descriptions joined with " + ".
  std::string Describe() const override;
  // Whether a member took the byte of a Write that returned an error.
  bool PartlyWritten() const override { return partly_written_; }

  std::size_t size() const { return members_.size(); }
  PortWriter& member(std::size_t i) const { return *members_[i]; }

 private:
  std::vector<std::unique_ptr<PortWriter>> members_;
  bool partly_written_ = false;
};

// Opens one back-end per entry of `devices` (the OutputDevice settings, in
// order) with `backends`. No entries: the same as one empty text, the
// default back-end. One entry: that back-end itself. Several: a PortFanout of
// them. When one cannot be opened the choice holds no writer and that
// back-end's error; warnings of all entries are joined with "\n".
PortWriterChoice OpenPortWriters(const std::vector<std::string>& devices,
                                 const PortBackends& backends);

}  // namespace zelvo
