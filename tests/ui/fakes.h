// Fakes for the window's surroundings; each records what it was asked to do.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "irc/irc_connection.h"
#include "support/log_line.h"
#include "ui/tray_icon.h"

namespace zelvo::testing {

// One ordered record of everything the fakes saw, for order checks.
using Events = std::vector<std::string>;

class FakeTray final : public TrayIcon {
 public:
  explicit FakeTray(Events& events, bool available = true)
      : events_(events), available_(available) {}
  bool IsAvailable() const override { return available_; }
  // A notification area that appears or goes away while the program runs.
  void SetAvailable(bool available) { available_ = available; }
  void Add(const QIcon& icon, const QString& tip,
           std::function<void(Activation)> on_activate) override {
    events_.push_back("tray add");
    tips.push_back(tip.toStdString());
    icon_null = icon.isNull();
    on_activate_ = std::move(on_activate);
  }
  void Remove() override {
    events_.push_back("tray remove");
    on_activate_ = nullptr;
  }
  void Update(const QIcon& icon, const QString& tip) override {
    lamp_hues.push_back(icon.pixmap(32).toImage().pixelColor(16, 16).hsvHue());
    tips.push_back(tip.toStdString());
  }
  void SetMenu(QMenu* menu) override { menu_ = menu; }
  void Notify(const QString&, const QString& text) override { notes.push_back(text.toStdString()); }
  void Activate(Activation activation) {
    if (on_activate_) on_activate_(activation);
  }
  bool Shown() const { return static_cast<bool>(on_activate_); }

  std::vector<std::string> tips;
  std::vector<int> lamp_hues;  // of the lamp in the icon's middle, one per Update
  std::vector<std::string> notes;
  QMenu* menu_ = nullptr;
  bool icon_null = true;

 private:
  Events& events_;
  bool available_;
  std::function<void(Activation)> on_activate_;
};

class FakeIrcConnection final : public IrcConnection {
 public:
  explicit FakeIrcConnection(Events& events) : events_(events) {}
  void ConnectToServer() override { events_.push_back("connect"); }
  bool SendOperatorLine(std::string_view typed) override {
    sent.emplace_back(typed);
    return connected;
  }
  void Close() override { events_.push_back("irc close"); }

  bool connected = true;
  std::vector<std::string> sent;

 private:
  Events& events_;
};

}  // namespace zelvo::testing
