// What the bot needs of the server's 005 (RPL_ISUPPORT) tokens. Each field
// holds the server's value once announced and the usual default before; a
// token withdrawn with "-TOKEN" returns to its default.
#pragma once

#include <cstddef>
#include <string>

#include "irc/case_mapping.h"
#include "irc/irc_message.h"

namespace zelvo {

struct ISupport {
  CaseMapping casemapping;            // CASEMAPPING
  std::size_t nicklen = 0;            // NICKLEN; 0 while unknown
  std::string prefix_modes = "ov";    // PREFIX=(ov)@+, highest status first
  std::string prefix_symbols = "@+";  // the same statuses' name prefixes
  char bot_mode = 0;                  // BOT=B; 0 when the server has none
  bool monitor = false;               // MONITOR: it tells when a nickname comes and goes
  std::string chantypes = "#&";       // CHANTYPES
  // CHANMODES=A,B,C,D: list modes, modes with a parameter always, with a
  // parameter only when set, without one.
  std::string chanmodes_list = "beI";
  std::string chanmodes_always = "k";
  std::string chanmodes_when_set = "l";
  std::string chanmodes_never = "imnpst";

  // Takes the tokens of a 005 line; other lines change nothing. True for a 005.
  bool Apply(const IrcMessage& message);

  // The status mode of a name prefix symbol ('@' -> 'o'), 0 when none.
  char ModeForSymbol(char symbol) const;
  // Whether channel mode `mode` set (+) or unset (-) takes a parameter.
  bool ModeTakesParam(char mode, bool set) const;
  bool IsChannel(std::string_view target) const;
};

}  // namespace zelvo
