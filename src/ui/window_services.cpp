#include "ui/window_services.h"

#include <QStringDecoder>

#include "log/log_types.h"

namespace zelvo {

QString TextToQString(std::string_view text) {
  const QByteArrayView bytes(text.data(), static_cast<qsizetype>(text.size()));
  QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
  QString decoded = utf8(bytes);
  if (!utf8.hasError()) return decoded;
  return QString::fromLatin1(bytes);
}

std::string HandlerErrorText(const std::string& error) {
  return "An error occurd in an event handler: " + error;
}

void ReportHandlerError(const LogWriter& log, Console& console, const std::string& error) {
  const std::string text = HandlerErrorText(error);
  if (log) log(window_log::kHandlerError, log_type::kError, text);
  console.Append(text + "\r\n");
}

}  // namespace zelvo
