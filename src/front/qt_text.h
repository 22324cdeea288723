// Texts between the bot's byte strings and Qt.
#pragma once

#include <QString>
#include <string_view>

namespace zelvo {

// A byte text for display: UTF-8 when it is well-formed, else ISO-8859-1.
QString TextToQString(std::string_view text);

}  // namespace zelvo
