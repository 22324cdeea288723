// The last rule that ran: "Last rule: <name> by <nick> at <HH:MM:SS>", or a
// quiet "No rule has run yet".
#pragma once

#include <QLabel>
#include <cstdint>
#include <string_view>

#include "model/date_time.h"

namespace zelvo {

// The label's text for a run of `rule` by `nick` at local time `at`.
QString LastRunText(std::string_view rule, std::string_view nick, OleDate at);

class LastRunLabel final : public QLabel {
 public:
  explicit LastRunLabel(QWidget* parent = nullptr);

  void SetLastRun(std::string_view rule, std::string_view nick, OleDate at);
  // Back to "No rule has run yet".
  void Clear();
  bool HasRun() const { return has_run_; }

 private:
  void SetColour(std::uint32_t colour);
  bool has_run_ = false;
};

// Text colours in the window's numeric form: a run, and the quiet text.
inline constexpr std::uint32_t kLastRunColour = 12632256;  // 192, 192, 192
inline constexpr std::uint32_t kQuietColour = 8421504;     // 128, 128, 128

}  // namespace zelvo
