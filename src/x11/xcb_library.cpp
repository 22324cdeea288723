#include "x11/xcb_library.h"

namespace zelvo {

const XcbApi* LoadXcb(std::string* error) {
  return LoadLibraryApi<XcbApi>("libxcb.so.1", error, [](XcbApi& api, SharedLibrary& library) {
    ZELVO_XCB_FUNCTIONS(ZELVO_LIBRARY_RESOLVE)
  });
}

const XcbEwmhApi* LoadXcbEwmh(std::string* error) {
  return LoadLibraryApi<XcbEwmhApi>("libxcb-ewmh.so.2", error,
                                    [](XcbEwmhApi& api, SharedLibrary& library) {
                                      ZELVO_XCB_EWMH_FUNCTIONS(ZELVO_LIBRARY_RESOLVE)
                                    });
}

}  // namespace zelvo
