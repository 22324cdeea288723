#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "x11/chat_client_window.h"

#ifdef ZELVO_HAVE_XCB
#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include "x11/xcb_chat_client.h"
#endif

namespace zelvo {
namespace {

struct TitleCase {
  std::string title;
  bool chat_client;
};

class ChatClientTitleTest : public ::testing::TestWithParam<TitleCase> {};

TEST_P(ChatClientTitleTest, TitleMustBeginWithVeskoColon) {
  EXPECT_EQ(IsChatClientTitle(GetParam().title), GetParam().chat_client);
}

INSTANTIATE_TEST_SUITE_P(Titles, ChatClientTitleTest,
                         ::testing::Values(TitleCase{"Vesko: #lab", true},
                                           TitleCase{"Vesko:", true}, TitleCase{"Vesko", false},
                                           TitleCase{"vesko: #lab", false},
                                           TitleCase{" Vesko: #lab", false},
                                           TitleCase{"Vesko #lab", false}, TitleCase{"", false}));

TEST(ChatClientWindowTest, NoDisplayMeansNoChatClient) {
  auto window = OpenChatClientWindow("");
  EXPECT_FALSE(window->IsChatClientActive());
  window->BringChatClientForward();  // does nothing, and does not fail
}

TEST(ChatClientWindowTest, AnUnreachableDisplayMeansNoChatClient) {
  auto window = OpenChatClientWindow(":4711");
  EXPECT_FALSE(window->IsChatClientActive());
}

#ifdef ZELVO_HAVE_XCB

// A private X server for the tests of this suite.
class XcbChatClientTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    int fds[2];
    if (pipe(fds) != 0) return;
    server_ = fork();
    if (server_ == 0) {
      // The server ends with this test program and keeps out of its output.
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      close(fds[0]);
      const int null = open("/dev/null", O_RDWR);
      dup2(null, STDIN_FILENO);
      dup2(null, STDOUT_FILENO);
      dup2(null, STDERR_FILENO);
      const std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-noreset", "-screen",
             "0", "320x240x24", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number.push_back(c);
    close(fds[0]);
    if (!number.empty()) display_ = ":" + number;
  }

  static void TearDownTestSuite() {
    if (server_ > 0) {
      kill(server_, SIGTERM);
      waitpid(server_, nullptr, 0);
    }
  }

  void SetUp() override {
    if (display_.empty()) GTEST_SKIP() << "Xvfb is not available";
    connection_ = xcb_connect(display_.c_str(), &screen_number_);
    ASSERT_FALSE(xcb_connection_has_error(connection_));
    ASSERT_TRUE(
        xcb_ewmh_init_atoms_replies(&ewmh_, xcb_ewmh_init_atoms(connection_, &ewmh_), nullptr));
    screen_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    chat_ = XcbChatClientWindow::Connect(display_);
    ASSERT_NE(chat_, nullptr);
  }

  void TearDown() override {
    if (!connection_) return;
    if (xcb_connection_has_error(connection_) || !screen_) {
      xcb_disconnect(connection_);
      return;
    }
    // Leave the root as a fresh server has it.
    xcb_delete_property(connection_, screen_->root, ewmh_._NET_ACTIVE_WINDOW);
    xcb_delete_property(connection_, screen_->root, ewmh_._NET_CLIENT_LIST);
    Sync();
    chat_.reset();
    xcb_ewmh_connection_wipe(&ewmh_);
    xcb_disconnect(connection_);
  }

  xcb_window_t MakeWindow() {
    const xcb_window_t window = xcb_generate_id(connection_);
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, screen_->root, 0, 0, 10, 10, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual, 0, nullptr);
    return window;
  }
  void SetUtf8Title(xcb_window_t window, const std::string& title) {
    xcb_ewmh_set_wm_name(&ewmh_, window, static_cast<std::uint32_t>(title.size()), title.data());
  }
  void SetLatin1Title(xcb_window_t window, const std::string& title) {
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME,
                        XCB_ATOM_STRING, 8, static_cast<std::uint32_t>(title.size()), title.data());
  }
  void SetActive(xcb_window_t window) {
    xcb_ewmh_set_active_window(&ewmh_, screen_number_, window);
    Sync();
  }
  void SetClients(std::vector<xcb_window_t> windows) {
    xcb_ewmh_set_client_list(&ewmh_, screen_number_, static_cast<std::uint32_t>(windows.size()),
                             windows.data());
    Sync();
  }
  void Sync() {
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
  }

  static inline pid_t server_ = -1;
  static inline std::string display_;
  xcb_connection_t* connection_ = nullptr;
  xcb_ewmh_connection_t ewmh_{};
  int screen_number_ = 0;
  xcb_screen_t* screen_ = nullptr;
  std::unique_ptr<XcbChatClientWindow> chat_;
};

TEST_F(XcbChatClientTest, ReadsUtf8AndLatin1Titles) {
  const xcb_window_t utf8 = MakeWindow();
  const xcb_window_t latin1 = MakeWindow();
  const xcb_window_t untitled = MakeWindow();
  SetUtf8Title(utf8,
               "Vesko: #l\xC3\xA4"
               "b");
  SetLatin1Title(latin1, "Vesko: #lab");
  Sync();
  EXPECT_EQ(chat_->Title(utf8),
            "Vesko: #l\xC3\xA4"
            "b");
  EXPECT_EQ(chat_->Title(latin1), "Vesko: #lab");
  EXPECT_EQ(chat_->Title(untitled), "");
}

TEST_F(XcbChatClientTest, LongTitlesAreCutToTheTitleBuffer) {
  const xcb_window_t window = MakeWindow();
  SetUtf8Title(window, "Vesko: " + std::string(400, 'x'));
  Sync();
  EXPECT_EQ(chat_->Title(window).size(), 254u);
}

TEST_F(XcbChatClientTest, ActiveWindowDecidesTheFocusGate) {
  const xcb_window_t vesko = MakeWindow();
  const xcb_window_t other = MakeWindow();
  const xcb_window_t short_title = MakeWindow();
  SetUtf8Title(vesko, "Vesko: #lab");
  SetUtf8Title(other, "Terminal");
  SetUtf8Title(short_title, "Vesko");
  EXPECT_FALSE(chat_->IsChatClientActive());  // no active window announced
  SetActive(vesko);
  EXPECT_TRUE(chat_->IsChatClientActive());
  SetActive(other);
  EXPECT_FALSE(chat_->IsChatClientActive());
  SetActive(short_title);
  EXPECT_FALSE(chat_->IsChatClientActive());
}

TEST_F(XcbChatClientTest, BringForwardAsksTheWindowManagerForTheFirstChatClient) {
  const xcb_window_t other = MakeWindow();
  const xcb_window_t vesko = MakeWindow();
  const xcb_window_t second_vesko = MakeWindow();
  SetUtf8Title(other, "Editor");
  SetLatin1Title(vesko, "Vesko: #lab");
  SetUtf8Title(second_vesko, "Vesko: #other");
  SetClients({other, vesko, second_vesko});
  EXPECT_EQ(chat_->FindChatClient(), vesko);

  // Stand in for the window manager to see the request.
  const std::uint32_t mask =
      XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(connection_, screen_->root, XCB_CW_EVENT_MASK, &mask);
  Sync();
  chat_->BringChatClientForward();
  chat_->Title(screen_->root);  // a round trip: the request has reached the server
  Sync();
  int requests = 0;
  while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
    if ((event->response_type & 0x7F) == XCB_CLIENT_MESSAGE) {
      auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
      EXPECT_EQ(message->type, ewmh_._NET_ACTIVE_WINDOW);
      EXPECT_EQ(message->window, vesko);
      EXPECT_EQ(message->data.data32[0], 2u);  // asked for on the user's behalf
      ++requests;
    }
    std::free(event);
  }
  EXPECT_EQ(requests, 1);
  const std::uint32_t none = 0;
  xcb_change_window_attributes(connection_, screen_->root, XCB_CW_EVENT_MASK, &none);
}

TEST_F(XcbChatClientTest, NoChatClientWindowMeansNoRequest) {
  const xcb_window_t other = MakeWindow();
  SetUtf8Title(other, "Editor");
  SetClients({other});
  EXPECT_EQ(chat_->FindChatClient(), std::nullopt);
  SetClients({});
  EXPECT_EQ(chat_->FindChatClient(), std::nullopt);
}

#endif  // ZELVO_HAVE_XCB

}  // namespace
}  // namespace zelvo
