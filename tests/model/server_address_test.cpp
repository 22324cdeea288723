#include "model/server_address.h"

#include <gtest/gtest.h>

namespace zelvo {
namespace {

// IRCServers read: the servers as "[host:port]" each, or how the refusal begins.
TEST(ServerListTest, ReadsEntriesOrSaysWhatToWrite) {
  const std::string sixteen = "a b c d e f g h i j k l m n o p";
  const struct {
    std::string text, read, error;
  } rows[] = {
      {" \t", "", ""},
      {"b:7000\tc\n192.0.2.1", "[b:7000][c:6667][192.0.2.1:6667]", ""},
      {"[2001:db8::1]:6697 [::1] ::1:6697", "[[2001:db8::1]:6697][[::1]:6667][[::1:6697]:6667]",
       ""},
      {sixteen + " q", "", "more than 16 servers"},
      {":7000", "", "\":7000\" has no host"},
      {"b:", "", "\"b:\" has no valid port"},
      {"b:0", "", "\"b:0\" has no valid port"},
      {"b:65536", "", "\"b:65536\" has no valid port"},
      {"ok [::1:7000", "", "\"[::1:7000\" has unbalanced brackets"},
      {"::1]:7000", "", "\"::1]:7000\" has unbalanced brackets"},
      {"[b.example.net]:7000", "", "\"[b.example.net]:7000\" holds no IPv6 address"},
      {"[::1]7000", "", "\"[::1]7000\" has something after"},
      {"2001:db8::1:x", "", "\"2001:db8::1:x\" is no host: an IPv6 address with a port"},
  };
  for (const auto& c : rows) {
    const ServerListResult result = ParseServerList(c.text, 6667);
    std::string read;
    for (const ServerAddress& server : result.servers) read += "[" + HostPortText(server) + "]";
    EXPECT_EQ(read, c.read) << c.text;
    EXPECT_EQ(result.error.substr(0, c.error.size()), c.error) << c.text;
    EXPECT_EQ(result.error.empty(), c.error.empty()) << c.text;
  }
  EXPECT_EQ(ParseServerList(sixteen, 6667).servers.size(), 16u);
}

}  // namespace
}  // namespace zelvo
