#include "model/io_command.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

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

TEST(IOCommand, PropertiesStoreValuesUnchanged) {
  IOCommand rule(kCreated);
  rule.SetIOName("Disco");
  rule.SetIRCTrigger("*PRIVMSG #zelvo :!disco*");
  rule.SetAutoReturn(-5);
  rule.SetExecuteLimit(2147483647);
  rule.SetExtraFlags(2064);
  rule.SetLastUsed(45000.25);
  rule.SetAutoReturnOutputs(4112);
  rule.SetAutoReturnComplete(false);
  EXPECT_EQ(rule.IOName(), "Disco");
  EXPECT_EQ(rule.IRCTrigger(), "*PRIVMSG #zelvo :!disco*");
  EXPECT_EQ(rule.AutoReturn(), -5);
  EXPECT_EQ(rule.ExecuteLimit(), 2147483647);
  EXPECT_EQ(rule.ExtraFlags(), 2064);
  EXPECT_TRUE(rule.HasFlag(2048));
  EXPECT_FALSE(rule.HasFlag(32));
  EXPECT_EQ(rule.LastUsed(), 45000.25);
  EXPECT_EQ(rule.AutoReturnOutputs(), 4112);
  EXPECT_FALSE(rule.AutoReturnComplete());
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

TEST(IOCommandUsers, StartEmptyAndStoreTheirPatterns) {
  User user;
  EXPECT_EQ(user.Username(), "");
  EXPECT_EQ(user.Nickname(), "");
  user.SetUsername("~zelvo*");
  user.SetNickname("*");
  EXPECT_EQ(user.Username(), "~zelvo*");
  EXPECT_EQ(user.Nickname(), "*");
}

}  // namespace
}  // namespace zelvo
