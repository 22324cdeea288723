#include "files/shared_library.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

// Declared only, so that a table can name a function no library has.
extern "C" int zelvo_absent_function();

namespace zelvo {
namespace {

struct Api {
  ZELVO_LIBRARY_MEMBER(strlen) ZELVO_LIBRARY_MEMBER(zelvo_absent_function)
};

// A table loads only whole: a missing library or function is named, and the
// caller gets no table to call through.
TEST(SharedLibraryTest, LoadsAWholeTableOrNamesWhatIsMissing) {
  std::string error;  // each resolving lambda is a table of its own, loaded once
  auto strlen_only = [](Api& api, SharedLibrary& library) { ZELVO_LIBRARY_RESOLVE(strlen) };
  const Api* libc = LoadLibraryApi<Api>("libc.so.6", &error, strlen_only);
  ASSERT_NE(libc, nullptr) << error;
  EXPECT_EQ(libc->strlen("zelvo"), 5u);
  EXPECT_EQ(LoadLibraryApi<Api>("libc.so.6", &error,
                                [](Api& api, SharedLibrary& library) {
                                  ZELVO_LIBRARY_RESOLVE(strlen)
                                  ZELVO_LIBRARY_RESOLVE(zelvo_absent_function)
                                }),
            nullptr);
  EXPECT_EQ(error, "libc.so.6 has no function zelvo_absent_function (another version?)");
  EXPECT_EQ(
      LoadLibraryApi<Api>("libzelvo-absent.so.9", &error,
                          [](Api& api, SharedLibrary& library) { ZELVO_LIBRARY_RESOLVE(strlen) }),
      nullptr);
  EXPECT_THAT(
      error, ::testing::MatchesRegex("libzelvo-absent.so.9 could not be loaded: .*No such file.*"));
}

}  // namespace
}  // namespace zelvo
