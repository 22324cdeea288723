#include "front/bot_state.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zelvo {
namespace {

// Each Set reaches the subscribers in order, also with an unchanged value; an
// ended subscription hears nothing, and one that outlives the value ends
// harmlessly.
TEST(Published, CallsEachSubscriberUntilItsSubscriptionEnds) {
  std::vector<std::string> heard;
  Subscription outliving;
  {
    Published<int> value;
    Subscription first =
        value.Subscribe([&](int v) { heard.push_back("1st " + std::to_string(v)); });
    outliving = value.Subscribe([&](int v) { heard.push_back("2nd " + std::to_string(v)); });
    value.Set(1);
    value.Set(1);
    { Subscription ended = std::move(first); }
    value.Set(2);
    EXPECT_EQ(value.Get(), 2);
  }
  EXPECT_THAT(heard, ::testing::ElementsAre("1st 1", "2nd 1", "1st 1", "2nd 1", "2nd 2"));
}

}  // namespace
}  // namespace zelvo
