#include "ui/last_run_label.h"

#include <QPalette>

#include "front/bot_status.h"
#include "front/qt_text.h"
#include "ui/lamp_box.h"

namespace zelvo {

QString LastRunText(std::string_view rule, std::string_view nick, OleDate at) {
  return TextToQString(LastRunWords(rule, nick, at));
}

LastRunLabel::LastRunLabel(QWidget* parent) : QLabel(parent) {
  setObjectName(QStringLiteral("LastRunLabel"));
  setTextFormat(Qt::PlainText);
  Clear();
}

void LastRunLabel::SetLastRun(std::string_view rule, std::string_view nick, OleDate at) {
  has_run_ = true;
  setText(LastRunText(rule, nick, at));
  SetColour(kLastRunColour);
}

void LastRunLabel::Clear() {
  has_run_ = false;
  setText(QStringLiteral("No rule has run yet"));
  SetColour(kQuietColour);
}

void LastRunLabel::SetColour(std::uint32_t colour) {
  QPalette palette = this->palette();
  palette.setColor(QPalette::WindowText, ColorFromNumber(colour));
  setPalette(palette);
}

}  // namespace zelvo
