#include "model/server_address.h"

#include <gtest/gtest.h>

#include <string>

namespace zelvo {
namespace {

struct ListCase {
  std::string text;
  std::string read;   // the servers as "[host:port]" each, when read
  std::string error;  // the start of the refusal otherwise
};

class ServerListTest : public ::testing::TestWithParam<ListCase> {};

TEST_P(ServerListTest, ReadsEntriesOrSaysWhatToWrite) {
  const ListCase& c = GetParam();
  const ServerListResult result = ParseServerList(c.text, 6667);
  std::string read;
  for (const ServerAddress& server : result.servers) read += "[" + HostPortText(server) + "]";
  EXPECT_EQ(read, c.read);
  EXPECT_EQ(result.error.substr(0, c.error.size()), c.error) << result.error;
  EXPECT_EQ(result.error.empty(), c.error.empty());
}

const std::string kSixteen = "a b c d e f g h i j k l m n o p";

INSTANTIATE_TEST_SUITE_P(
    Rows, ServerListTest,
    ::testing::Values(
        ListCase{" \t", "", ""}, ListCase{"b.example.net", "[b.example.net:6667]", ""},
        ListCase{"b:7000\tc:6697\n192.0.2.1", "[b:7000][c:6697][192.0.2.1:6667]", ""},
        ListCase{"[2001:db8::1]:6697 [::1]", "[[2001:db8::1]:6697][[::1]:6667]", ""},
        ListCase{"2001:db8::1", "[[2001:db8::1]:6667]", ""},
        ListCase{"::1:6697", "[[::1:6697]:6667]", ""},  // an address: no port without brackets
        ListCase{kSixteen, "[a:6667][b:6667][c:6667][d:6667][e:6667][f:6667][g:6667][h:6667]"
                           "[i:6667][j:6667][k:6667][l:6667][m:6667][n:6667][o:6667][p:6667]",
                 ""},
        ListCase{kSixteen + " q", "", "more than 16 servers"},
        ListCase{":7000", "", "\":7000\" has no host"}, ListCase{"b:", "", "\"b:\" has no valid port"},
        ListCase{"b:0", "", "\"b:0\" has no valid port"},
        ListCase{"b:65536", "", "\"b:65536\" has no valid port"},
        ListCase{"b:+6697", "", "\"b:+6697\" has no valid port"},
        ListCase{"ok [::1:7000", "", "\"[::1:7000\" has unbalanced brackets"},
        ListCase{"::1]:7000", "", "\"::1]:7000\" has unbalanced brackets"},
        ListCase{"[b.example.net]:7000", "", "\"[b.example.net]:7000\" holds no IPv6 address"},
        ListCase{"[::1]7000", "", "\"[::1]7000\" has something after"},
        ListCase{"2001:db8::1:x", "", "\"2001:db8::1:x\" is no host: an IPv6 address with a port"}));

}  // namespace
}  // namespace zelvo
