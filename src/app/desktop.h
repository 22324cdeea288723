// What only the program with a window has: the main window with its tray
// icon, the desktop's clipboard and message box. The program built for the
// service has none of it and loads no GUI library.
#pragma once

#include <memory>

#include "app/user_notice.h"
#include "front/front_end.h"
#include "front/window_services.h"

namespace zelvo {

class Desktop {
 public:
  virtual ~Desktop() = default;
  virtual std::unique_ptr<Clipboard> MakeClipboard() = 0;
  virtual std::unique_ptr<MessageBox> MakeMessageBox() = 0;
  // The main window with its tray icon; this object must outlive it.
  virtual std::unique_ptr<FrontEnd> MakeWindow(const WindowServices& services) = 0;
};

}  // namespace zelvo
