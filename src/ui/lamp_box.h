// One output indicator: a black box holding a round lamp and the output's
// number ("O1" ... "O8"). A click on the box is reported to its handler.
#pragma once

#include <QColor>
#include <QLabel>
#include <QWidget>
#include <cstdint>
#include <functional>

namespace zelvo {

inline constexpr std::uint32_t kLampOnColour = 65280;   // bright green
inline constexpr std::uint32_t kLampOffColour = 16384;  // dark green

// A solid-filled circle.
class LampShape final : public QWidget {
 public:
  explicit LampShape(QWidget* parent);
  // Colour in the window's numeric form: red + 256 * green + 65536 * blue.
  void SetFillColor(std::uint32_t colour);
  std::uint32_t FillColor() const { return colour_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::uint32_t colour_;
};

class PictureBox final : public QWidget {
 public:
  PictureBox(int output, QWidget* parent);

  void SetOnClick(std::function<void()> on_click) { on_click_ = std::move(on_click); }
  LampShape& Shape() { return *shape_; }
  const LampShape& Shape() const { return *shape_; }
  QLabel& NumberLabel() { return *label_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  LampShape* shape_;
  QLabel* label_;
  std::function<void()> on_click_;
  bool pressed_ = false;
};

// The numeric colour as a QColor (red in the low byte).
QColor ColorFromNumber(std::uint32_t colour);

}  // namespace zelvo
