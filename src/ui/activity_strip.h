// A thin bar under an output's lamp showing when the output was on during the
// history's window (ten minutes): time runs left to right, now at the right
// edge; on is drawn in the lamp's on colour over a dark track.
#pragma once

#include <QSize>
#include <QWidget>

#include "model/output_history.h"

namespace zelvo {

class ActivityStrip final : public QWidget {
 public:
  // `history` must outlive the strip. The owner calls update() after each
  // change it records and once a second, so that the picture moves on.
  explicit ActivityStrip(const OutputHistory& history, QWidget* parent = nullptr);

  static constexpr QSize kSize{48, 4};
  QSize sizeHint() const override { return kSize; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const OutputHistory& history_;
};

}  // namespace zelvo
