// The connection's state in words under the input line: a coloured mark
// (green in the channel, amber on the way or waiting to reconnect, red down),
// then the words, the server, the channel, the nickname and the problems.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>
#include <chrono>
#include <cstdint>
#include <string>

#include "front/bot_state.h"
#include "model/clock.h"

namespace zelvo {

// Mark colours in the window's numeric form (red + 256 * green + 65536 * blue).
inline constexpr std::uint32_t kStatusGreen = 65280;    // 0, 255, 0: the lamps' on
inline constexpr std::uint32_t kStatusAmber = 49151;    // 255, 191, 0
inline constexpr std::uint32_t kStatusRed = 4210943;    // 255, 64, 64
inline constexpr std::uint32_t kStatusText = 12632256;  // 192, 192, 192

// The state in words at `now`; while reconnecting with the countdown in whole
// seconds, rounded up ("Reconnecting in 40 s", then "Reconnecting" when due).
QString StateWords(const ConnectionStatus& status, std::chrono::steady_clock::time_point now);
std::uint32_t MarkColour(ConnectionStatus::State state);

class StatusLine final : public QWidget {
 public:
  // `clock` must outlive the line.
  explicit StatusLine(const Clock& clock, QWidget* parent = nullptr);

  void SetStatus(ConnectionStatus status);
  // Shows each problem's text after the state, in the order of their names.
  void SetProblems(Problems problems);
  // Called by the owner once a second: moves the countdown on.
  void Tick();

  // What the line shows after its mark.
  const QString& Text() const { return text_; }
  std::uint32_t Mark() const { return MarkColour(status_.state); }
  // Where the mark is drawn.
  QRect MarkRect() const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void Refresh();

  const Clock& clock_;
  ConnectionStatus status_;
  Problems problems_;
  QString text_;
};

}  // namespace zelvo
