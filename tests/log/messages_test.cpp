#include "log/messages.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace zelvo {
namespace {

// Each id has one meaning: it stands once in the catalogue, with a known type.
TEST(LogCatalogue, EachIdHasOneMeaning) {
  std::map<std::int32_t, std::string> seen;
  for (const LogMessage& message : kLogCatalogue) {
    SCOPED_TRACE("id " + std::to_string(message.id));
    const auto [where, added] = seen.emplace(message.id, std::string(message.text));
    EXPECT_TRUE(added) << "also used for \"" << where->second << "\"";
    EXPECT_GT(message.id, 0);
    EXPECT_TRUE(message.type == log_type::kError || message.type == log_type::kWarning ||
                message.type == log_type::kInformation);
  }
}

}  // namespace
}  // namespace zelvo
