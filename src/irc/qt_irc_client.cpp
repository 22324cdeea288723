#include "irc/qt_irc_client.h"

#include "front/bot_status.h"

namespace zelvo {

QtIrcClient::QtIrcClient(const Settings& settings, const Clock& clock, Console& console,
                         IrcHooks hooks, std::chrono::milliseconds tick, SendQueue::Limits limits)
    : settings_(settings),
      session_(settings, socket_, clock, console, std::move(hooks), limits),
      senders_(session_.Roster(), session_.Server(), settings) {
  socket_.SetHandler(&session_);
  tick_timer_.setInterval(tick);
  QObject::connect(&tick_timer_, &QTimer::timeout, [this] { session_.tmrSendQueue_Timer(); });
  tick_timer_.start();
}

QtIrcClient::~QtIrcClient() {
  tick_timer_.stop();
  socket_.SetHandler(nullptr);
}

void QtIrcClient::OnStatusChanged(std::function<void(const ConnectionStatus&)> show) {
  session_.SetStateChanged([this, show] { show(StatusOfSession(session_, settings_)); });
  show(StatusOfSession(session_, settings_));
}

}  // namespace zelvo
