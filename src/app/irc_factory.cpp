#include "app/irc_factory.h"

#include "irc/qt_irc_client.h"

namespace zelvo {

std::unique_ptr<IrcClient> MakeIrcClient(const IrcEnvironment& environment) {
  return std::make_unique<QtIrcClient>(
      environment.settings, environment.clock, environment.console,
      IrcHooks{environment.match, environment.log, {}, environment.sts_file});
}

}  // namespace zelvo
