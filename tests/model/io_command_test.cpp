#include "model/io_command.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "model/glob.h"

namespace zelvo {
namespace {

const OleDate kCreated = ToOleDate({2024, 5, 17, 9, 30, 15});

std::shared_ptr<IOCommand> Rule(const std::string& name) {
  auto rule = std::make_shared<IOCommand>(kCreated);
  rule->SetIOName(name);
  return rule;
}

std::shared_ptr<User> MakeUser(const std::string& nickname) {
  auto user = std::make_shared<User>();
  user->SetNickname(nickname);
  return user;
}

std::vector<std::string> Names(const IOCommands& rules) {
  std::vector<std::string> names;
  for (const auto& rule : rules) names.push_back(rule->IOName());
  return names;
}

TEST(IOCommand, StartsIdleWithEmptyValues) {
  const IOCommand rule(kCreated);
  EXPECT_EQ(rule.IOName(), "");
  EXPECT_EQ(rule.IRCTrigger(), "");
  EXPECT_EQ(rule.AutoReturn(), 0);
  EXPECT_EQ(rule.ExecuteLimit(), 0);
  EXPECT_EQ(rule.ExtraFlags(), 0);
  EXPECT_EQ(rule.AutoReturnOutputs(), 0);
  EXPECT_TRUE(rule.AutoReturnComplete());
  EXPECT_FALSE(rule.LastUsedMonotonic().has_value());
  EXPECT_EQ(rule.Count(), 0);
  int visited = 0;
  for (const auto& user : rule) {
    (void)user;
    ++visited;
  }
  EXPECT_EQ(visited, 0);
}

TEST(IOCommand, LastUsedStartsOneCalendarYearBeforeCreation) {
  EXPECT_EQ(IOCommand(kCreated).LastUsed(), ToOleDate({2023, 5, 17, 9, 30, 15}));
  const OleDate leap_day = ToOleDate({2024, 2, 29, 23, 59, 59});
  EXPECT_EQ(IOCommand(leap_day).LastUsed(), ToOleDate({2023, 2, 28, 23, 59, 59}));
}

// The trigger is compiled lower-cased when it is set, for a lower-cased line.
TEST(IOCommand, TriggerIsCompiledWhenSet) {
  IOCommand rule(kCreated);
  EXPECT_TRUE(rule.TriggerPattern().Matches(""));
  EXPECT_FALSE(rule.TriggerPattern().Matches("disco on"));
  const std::string line = LowerLatin1(":alice!~al@host PRIVMSG #lab :DISCO \xC3\xA4N\r\n");
  rule.SetIRCTrigger("*Disco \xC3\x84N*");
  EXPECT_EQ(rule.IRCTrigger(), "*Disco \xC3\x84N*");
  EXPECT_TRUE(rule.TriggerPattern().Matches(line));
  rule.SetIRCTrigger("*light*");
  EXPECT_FALSE(rule.TriggerPattern().Matches(line));
  EXPECT_TRUE(rule.TriggerPattern().Matches("light"));
}

// A user's patterns are compiled when they are set; letter case counts.
TEST(User, PatternsAreCompiledWhenSet) {
  User user;
  EXPECT_TRUE(user.NicknamePattern().Matches(""));
  EXPECT_FALSE(user.NicknamePattern().Matches("alice"));
  EXPECT_FALSE(user.UsernamePattern().Matches("~al"));
  user.SetNickname("Ali*");
  user.SetUsername("~al");
  EXPECT_EQ(user.Nickname(), "Ali*");
  EXPECT_TRUE(user.NicknamePattern().Matches("Alice"));
  EXPECT_FALSE(user.NicknamePattern().Matches("alice"));
  EXPECT_TRUE(user.UsernamePattern().Matches("~al"));
  EXPECT_FALSE(user.UsernamePattern().Matches("al"));
  user.SetNickname("bob");
  EXPECT_FALSE(user.NicknamePattern().Matches("Alice"));
}

class Collection : public testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"first", "second", "third"}) rules_.Add(Rule(name));
  }
  // The collection must be as it was after a failed call.
  void ExpectUnchanged() const {
    EXPECT_EQ(Names(rules_), (std::vector<std::string>{"first", "second", "third"}));
  }
  IOCommands rules_;
};

TEST_F(Collection, WalksInTheOrderAdded) {
  EXPECT_EQ(rules_.Count(), 3);
  ExpectUnchanged();
}

TEST_F(Collection, ItemCountsPositionsFromOne) {
  EXPECT_EQ(rules_.Item(1)->IOName(), "first");
  EXPECT_EQ(rules_.Item(2)->IOName(), "second");
  EXPECT_EQ(rules_.Item(rules_.Count())->IOName(), "third");
}

TEST_F(Collection, PositionsOutsideTheRangeFailAndChangeNothing) {
  EXPECT_THROW(rules_.Item(0), CollectionError);
  EXPECT_THROW(rules_.Item(rules_.Count() + 1), CollectionError);
  EXPECT_THROW(rules_.Item(-1), CollectionError);
  EXPECT_THROW(rules_.Remove(0), CollectionError);
  EXPECT_THROW(rules_.Remove(4), CollectionError);
  ExpectUnchanged();
}

TEST_F(Collection, KeysFindEntriesAndUnknownKeysFail) {
  rules_.Add(Rule("keyed"), "buzzer");
  EXPECT_EQ(rules_.Item("buzzer")->IOName(), "keyed");
  EXPECT_EQ(rules_.Item(4)->IOName(), "keyed");
  EXPECT_THROW(rules_.Item("mixer"), CollectionError);
  EXPECT_THROW(rules_.Remove("mixer"), CollectionError);
  EXPECT_EQ(rules_.Count(), 4);
  rules_.Remove("buzzer");
  ExpectUnchanged();
  rules_.Add(Rule("again"), "buzzer");  // a removed key is free again
  EXPECT_EQ(rules_.Item("buzzer")->IOName(), "again");
}

TEST_F(Collection, DuplicateKeyIsRejectedAndNothingIsAdded) {
  rules_.Add(Rule("keyed"), "buzzer");
  EXPECT_THROW(rules_.Add(Rule("again"), "buzzer"), CollectionError);
  EXPECT_EQ(rules_.Count(), 4);
  EXPECT_EQ(rules_.Item("buzzer")->IOName(), "keyed");
}

TEST_F(Collection, TheSameObjectMayBeAddedTwice) {
  const auto rule = rules_.Item(2);
  rules_.Add(rule);
  EXPECT_EQ(rules_.Count(), 4);
  EXPECT_EQ(rules_.Item(4), rule);
}

TEST_F(Collection, RemoveByPositionClosesTheGap) {
  rules_.Remove(2);
  EXPECT_EQ(Names(rules_), (std::vector<std::string>{"first", "third"}));
  rules_.Remove(rules_.Count());
  EXPECT_EQ(Names(rules_), (std::vector<std::string>{"first"}));
}

TEST_F(Collection, RemoveAllKeepsObjectsHeldElsewhereAlive) {
  const std::shared_ptr<IOCommand> held = rules_.Item(1);
  const std::weak_ptr<IOCommand> dropped = rules_.Item(3);
  rules_.RemoveAll();
  EXPECT_EQ(rules_.Count(), 0);
  EXPECT_EQ(Names(rules_), std::vector<std::string>{});
  EXPECT_EQ(held->IOName(), "first");
  EXPECT_TRUE(held->AutoReturnComplete());
  EXPECT_TRUE(dropped.expired());
  rules_.Add(Rule("after"));
  EXPECT_EQ(rules_.Item(1)->IOName(), "after");
}

TEST_F(Collection, AnItemObtainedBeforeRemovalStaysValid) {
  const auto& taken = rules_.Item(1);
  rules_.Remove(1);
  rules_.Add(Rule("filler"));
  EXPECT_EQ(taken->IOName(), "first");
}

// Changes during a walk: the walk goes on over the entries it began with,
// which stay alive while it holds them; a new walk sees the change.
struct ChangeDuringWalk {
  const char* name;
  std::function<void(IOCommands&)> change;
  std::vector<std::string> after;
};

void PrintTo(const ChangeDuringWalk& c, std::ostream* os) {
  *os << c.name;
}

class CollectionChangedDuringWalk : public testing::TestWithParam<ChangeDuringWalk> {};

TEST_P(CollectionChangedDuringWalk, FinishesOverTheEntriesItBeganWith) {
  IOCommands rules;
  for (const char* name : {"first", "second", "third"}) rules.Add(Rule(name));
  rules.Add(Rule("keyed"), "k");
  std::vector<std::string> visited;
  for (const auto& rule : rules) {
    if (visited.empty()) {
      GetParam().change(rules);
      EXPECT_EQ(Names(rules), GetParam().after);
    }
    visited.push_back(rule->IOName());
  }
  EXPECT_EQ(visited, (std::vector<std::string>{"first", "second", "third", "keyed"}));
  EXPECT_EQ(Names(rules), GetParam().after);
  EXPECT_EQ(rules.Count(), static_cast<std::int32_t>(GetParam().after.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Changes, CollectionChangedDuringWalk,
    testing::Values(ChangeDuringWalk{"RemoveFirst",
                                     [](IOCommands& r) { r.Remove(1); },
                                     {"second", "third", "keyed"}},
                    ChangeDuringWalk{"RemoveByKey",
                                     [](IOCommands& r) { r.Remove("k"); },
                                     {"first", "second", "third"}},
                    ChangeDuringWalk{"RemoveAll", [](IOCommands& r) { r.RemoveAll(); }, {}},
                    ChangeDuringWalk{"Add",
                                     [](IOCommands& r) {
                                       for (int i = 0; i < 100; ++i) r.Add(Rule("added"));
                                       for (int i = 0; i < 100; ++i) r.Remove(5);
                                     },
                                     {"first", "second", "third", "keyed"}},
                    ChangeDuringWalk{"RemoveAllThenAdd",
                                     [](IOCommands& r) {
                                       r.RemoveAll();
                                       r.Add(Rule("fresh"), "k");
                                     },
                                     {"fresh"}}),
    [](const testing::TestParamInfo<ChangeDuringWalk>& info) { return info.param.name; });

TEST(IOCommandUsers, AreKeptInTheOrderAdded) {
  IOCommand rule(kCreated);
  rule.Add(MakeUser("anna"));
  rule.Add(MakeUser("bert"), "b");
  rule.Add(MakeUser("cleo"));
  std::vector<std::string> nicknames;
  for (const auto& user : rule) nicknames.push_back(user->Nickname());
  EXPECT_EQ(nicknames, (std::vector<std::string>{"anna", "bert", "cleo"}));
  EXPECT_EQ(rule.Item("b")->Nickname(), "bert");
  EXPECT_THROW(rule.Item(4), CollectionError);
  EXPECT_EQ(rule.Count(), 3);
}

}  // namespace
}  // namespace zelvo
