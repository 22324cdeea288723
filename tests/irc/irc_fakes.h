// A socket for the IRC client's tests that records what is sent, with the
// fake clock, recording console and log line the tests use beside it.
#pragma once

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "irc/socket.h"
#include "support/fake_clock.h"
#include "support/log_line.h"
#include "support/recording_console.h"

namespace zelvo::testing {

class FakeSocket final : public Socket {
 public:
  void SetRemoteHost(std::string vData) override { remote_host = std::move(vData); }
  std::string RemoteHost() const override { return remote_host; }
  void SetRemotePort(std::int32_t vData) override { remote_port = vData; }
  std::int32_t RemotePort() const override { return remote_port; }
  void SetTls(TlsOptions vData) override { tls = std::move(vData); }
  void SetBindAddress(std::string address) override { bind_address = std::move(address); }
  void Connect() override {
    ++connect_calls;
    state = state_after_connect;
  }
  std::int16_t State() const override { return state; }
  std::string LocalHostName() const override { return local_host_name; }
  std::int32_t LocalPort() const override { return local_port; }
  std::string LocalIP() const override { return local_ip; }
  std::string SendData(std::string_view data) override {
    sent.emplace_back(data);
    return "";
  }
  void GetData(std::string& data) override {
    data = incoming;
    incoming.clear();
  }
  void DataEventLater() override { data_event_due = true; }
  void Close() override {
    ++close_calls;
    state = socket_state::kClosed;
  }
  void Accept(std::int32_t request_id) override { accepted.push_back(request_id); }

  // Makes `data` arrive and raises the data event on `handler`, again for as
  // long as the handler asks for it.
  void Receive(SocketEvents& handler, std::string_view data) {
    incoming.append(data);
    do {
      data_event_due = false;
      handler.sckIRC_DataArrival(static_cast<std::int32_t>(incoming.size()));
    } while (data_event_due);
  }

  std::string remote_host;
  std::int32_t remote_port = 0;
  TlsOptions tls;
  std::string bind_address;
  std::int16_t state = socket_state::kClosed;
  std::int16_t state_after_connect = socket_state::kConnecting;
  std::string local_host_name = "pc7";
  std::int32_t local_port = 1042;
  std::string local_ip = "10.0.0.5";
  std::string incoming;
  std::vector<std::string> sent;
  std::vector<std::int32_t> accepted;
  int connect_calls = 0;
  int close_calls = 0;
  bool data_event_due = false;  // DataEventLater was called
};

}  // namespace zelvo::testing
