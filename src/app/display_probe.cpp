#include "app/display_probe.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#ifdef ZELVO_HAVE_XCB
#include "x11/xcb_library.h"
#endif

namespace zelvo {

namespace {

bool XServerAnswers(const std::string& display) {
#ifdef ZELVO_HAVE_XCB
  const XcbApi* xcb = LoadXcb();
  if (!xcb) return true;  // without libxcb, Qt's own attempt decides
  xcb_connection_t* connection = xcb->xcb_connect(display.c_str(), nullptr);
  const bool ok = xcb->xcb_connection_has_error(connection) == 0;
  xcb->xcb_disconnect(connection);
  return ok;
#else
  (void)display;
  return true;  // without libxcb, Qt's own attempt decides
#endif
}

bool WaylandCompositorAnswers(const std::string& socket_path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socket_path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, socket_path.c_str(), socket_path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return ok;
}

// The first platform of a list such as "wayland;xcb", without its options.
std::string ChosenPlatform(const std::string& setting) {
  std::string platform = setting.substr(0, setting.find(';'));
  return platform.substr(0, platform.find(':'));
}

}  // namespace

EnvironmentLookup ProcessEnvironment() {
  return [](const char* name) {
    const char* value = std::getenv(name);
    return std::string(value ? value : "");
  };
}

std::string DisplayProblem(const EnvironmentLookup& environment) {
  const std::string platform = ChosenPlatform(environment("QT_QPA_PLATFORM"));
  const bool wayland = platform.rfind("wayland", 0) == 0;
  if (!platform.empty() && platform != "xcb" && !wayland) return "";

  std::vector<std::string> tried;
  if (platform.empty() || wayland) {
    const std::string name = environment("WAYLAND_DISPLAY");
    if (!name.empty()) {
      const std::string path =
          name.front() == '/' ? name : environment("XDG_RUNTIME_DIR") + "/" + name;
      if (WaylandCompositorAnswers(path)) return "";
      tried.push_back(name);
    }
  }
  if (platform.empty() || platform == "xcb") {
    const std::string display = environment("DISPLAY");
    if (!display.empty()) {
      if (XServerAnswers(display)) return "";
      tried.push_back(display);
    }
  }

  if (tried.empty()) {
    const char* unset = platform.empty()    ? "neither DISPLAY nor WAYLAND_DISPLAY is set"
                        : platform == "xcb" ? "DISPLAY is not set"
                                            : "WAYLAND_DISPLAY is not set";
    return std::string("Cannot open the display (") + unset + "); run with --headless";
  }
  std::string names;
  for (const std::string& name : tried) names += (names.empty() ? "\"" : " or \"") + name + "\"";
  return "Cannot open the display " + names + "; run with --headless";
}

}  // namespace zelvo
