#include "irc/qt_irc_client.h"

namespace zelvo {

QtIrcClient::QtIrcClient(const Settings& settings, const Clock& clock, Console& console,
                         IrcHooks hooks, std::chrono::milliseconds tick, SendQueue::Limits limits)
    : session_(settings, socket_, clock, console, std::move(hooks), limits) {
  socket_.SetHandler(&session_);
  send_timer_.setInterval(tick);
  QObject::connect(&send_timer_, &QTimer::timeout, [this] { session_.tmrSendQueue_Timer(); });
  send_timer_.start();
}

QtIrcClient::~QtIrcClient() {
  send_timer_.stop();
  socket_.SetHandler(nullptr);
}

}  // namespace zelvo
