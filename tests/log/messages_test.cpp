#include "log/messages.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace zelvo {
namespace {

class LogCatalogueRow : public ::testing::TestWithParam<LogMessage> {};

// Each id has one meaning: it stands once in the catalogue, with a known type.
TEST_P(LogCatalogueRow, HasAnIdOfItsOwnAndAKnownType) {
  const LogMessage row = GetParam();
  EXPECT_GT(row.id, 0);
  EXPECT_EQ(std::ranges::count(LogCatalogue(), row.id, &LogMessage::id), 1) << "id " << row.id;
  EXPECT_TRUE(row.type == log_type::kError || row.type == log_type::kWarning ||
              row.type == log_type::kInformation);
}

INSTANTIATE_TEST_SUITE_P(Table, LogCatalogueRow, ::testing::ValuesIn(LogCatalogue()));

}  // namespace
}  // namespace zelvo
