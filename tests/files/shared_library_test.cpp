#include "files/shared_library.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

// Declared only, so that a table can name a function no library has.
extern "C" int zelvo_absent_function();

namespace zelvo {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

#define PRESENT_FUNCTIONS(X) X(strlen)
#define WITH_ABSENT_FUNCTIONS(X) X(strlen) X(zelvo_absent_function)
struct Present {
  PRESENT_FUNCTIONS(ZELVO_LIBRARY_MEMBER)
};
struct WithAbsent {
  WITH_ABSENT_FUNCTIONS(ZELVO_LIBRARY_MEMBER)
};
struct FromAbsentLibrary {
  PRESENT_FUNCTIONS(ZELVO_LIBRARY_MEMBER)
};

// A table loads only whole: a missing library or function is named, and the
// caller gets no table to call through.
TEST(SharedLibraryTest, LoadsAWholeTableOrNamesWhatIsMissing) {
  std::string error;
  const Present* present = LoadLibraryApi<Present>(
      "libc.so.6", &error,
      [](Present& api, SharedLibrary& library) { PRESENT_FUNCTIONS(ZELVO_LIBRARY_RESOLVE) });
  ASSERT_NE(present, nullptr) << error;
  EXPECT_EQ(present->strlen("zelvo"), 5u);

  EXPECT_EQ(LoadLibraryApi<WithAbsent>("libc.so.6", &error,
                                       [](WithAbsent& api, SharedLibrary& library) {
                                         WITH_ABSENT_FUNCTIONS(ZELVO_LIBRARY_RESOLVE)
                                       }),
            nullptr);
  EXPECT_EQ(error, "libc.so.6 has no function zelvo_absent_function (another version?)");

  EXPECT_EQ(LoadLibraryApi<FromAbsentLibrary>("libzelvo-absent.so.9", &error,
                                              [](FromAbsentLibrary& api, SharedLibrary& library) {
                                                PRESENT_FUNCTIONS(ZELVO_LIBRARY_RESOLVE)
                                              }),
            nullptr);
  EXPECT_THAT(error, StartsWith("libzelvo-absent.so.9 could not be loaded: "));
  EXPECT_THAT(error, HasSubstr("No such file"));
}

}  // namespace
}  // namespace zelvo
