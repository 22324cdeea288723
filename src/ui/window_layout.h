// Design-time positions and sizes of the main window's controls, in pixels.
#pragma once

#include <QRect>
#include <QSize>
#include <array>

namespace zelvo::layout {

inline constexpr QSize kClientArea{724, 597};

inline constexpr QRect kTitle{8, 0, 169, 57};     // Label1
inline constexpr QRect kTagLine{8, 48, 153, 25};  // Label2

// Picture1 ... Picture8: left edges; all share top and size.
inline constexpr std::array<int, 8> kPictureLeft{192, 256, 320, 392, 464, 536, 608, 680};
inline constexpr int kPictureTop = 16;
inline constexpr QSize kPictureSize{36, 33};
// Inside each box: the lamp and the output's number.
inline constexpr QRect kShape{8, 0, 17, 17};
inline constexpr QRect kNumberLabel{0, 16, 33, 17};

// The output names under the boxes.
inline constexpr std::array<int, 8> kNameLeft{176, 240, 304, 376, 448, 520, 592, 664};
inline constexpr int kNameTop = 48;
inline constexpr QSize kNameSize{65, 17};

inline constexpr QRect kConsole{8, 72, 705, 489};  // txtBuffer
inline constexpr QRect kInput{8, 568, 705, 21};    // Text1

// The margin m of the resize rules: the console's left edge, also the gap
// between console and input line.
inline constexpr int kMargin = kConsole.left();
// Right of the panes and under the input line, as in the design.
inline constexpr int kRightMargin = kClientArea.width() - (kConsole.x() + kConsole.width());
inline constexpr int kBottomMargin = kClientArea.height() - (kInput.y() + kInput.height());

// Under the input line, added to the design: the connection's status and the
// last rule run. The window opens that much taller than the design's area.
inline constexpr QRect kStatusLine{8, 593, 705, 20};
inline constexpr QRect kLastRun{8, 613, 705, 16};
inline constexpr int kStatusGap = kStatusLine.y() - (kInput.y() + kInput.height());
inline constexpr QSize kWindowArea{kClientArea.width(),
                                   kLastRun.y() + kLastRun.height() + kBottomMargin};
// From the input line's bottom edge to the window's.
inline constexpr int kBelowInput = kWindowArea.height() - (kInput.y() + kInput.height());

// The top of the outputs' activity strips, between the names and the console.
inline constexpr int kStripTop = 66;
// The smallest window: every lamp with the right margin beside the last, and
// a console of a few lines above the input line, status and last run.
inline constexpr int kMinimumConsoleHeight = 60;
inline constexpr QSize kMinimumArea{
    kPictureLeft.back() + kPictureSize.width() + kMargin,
    kConsole.y() + kMinimumConsoleHeight + kMargin + kInput.height() + kBelowInput};

}  // namespace zelvo::layout
