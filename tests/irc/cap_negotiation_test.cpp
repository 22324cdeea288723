#include "irc/cap_negotiation.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "log/messages.h"

namespace zelvo {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using Kind = CapEvent::Kind;
using std::chrono::seconds;

constexpr char kUser[] = "USER relay pc7 PC7:1042/0 :Winsock Client";
// base64("alice\0alice\0s3cret")
constexpr char kAlicePlain[] = "AUTHENTICATE YWxpY2UAYWxpY2UAczNjcmV0";

// One step of a conversation: a server line (or, when `line` is empty, time
// passing by `wait`), and what the bot must answer to it.
struct Step {
  std::string line;
  seconds wait{0};
  std::vector<std::string> sent;
  std::vector<CapEvent> events;
};

struct Conversation {
  std::string name;
  CapConfig config;
  std::vector<std::string> start;  // the lines sent on connecting
  std::vector<Step> steps;
  bool done_at_end = true;
};

CapConfig Config(SaslMechanism mechanism = SaslMechanism::kNone, bool required = true,
                 std::string password = "") {
  CapConfig c;
  c.password = std::move(password);
  c.nick_line = "NICK relay";
  c.user_line = kUser;
  c.mechanism = mechanism;
  c.sasl_username = "alice";
  c.sasl_password = "s3cret";
  c.sasl_required = required;
  return c;
}

const CapEvent kDone{Kind::kNegotiationDone, ""};

// RFC 7677's SCRAM-SHA-256 exchange up to the client-final message, then `more`.
CapConfig ScramConfig(bool required = true) {
  CapConfig c = Config(SaslMechanism::kScramSha256, required);
  c.sasl_username = "user";
  c.sasl_password = "pencil";
  c.scram_nonce = [] { return std::string("rOprNGfwEbeRWgbNEkqO"); };
  return c;
}
std::string Auth(std::string_view message) {
  return "AUTHENTICATE " + Base64Encode(message);
}
const std::string kNonces = "r=rOprNGfwEbeRWgbNEkqO%hvYDpWUa2RaTCAfuxFIlj)hNlF$k0";
std::vector<Step> ScramSteps(std::vector<Step> more) {
  std::vector<Step> steps = {
      {":irc CAP * LS :sasl=PLAIN,SCRAM-SHA-256\r\n", {}, {"CAP REQ :sasl"}, {}},
      {":irc CAP * ACK :sasl\r\n", {}, {"AUTHENTICATE SCRAM-SHA-256"}, {}},
      {"AUTHENTICATE +\r\n", {}, {Auth("n,,n=user,r=rOprNGfwEbeRWgbNEkqO")}, {}},
      {Auth(kNonces + ",s=W22ZaJ0SNY7soEsUEjb6gQ==,i=4096"),
       {},
       {Auth("c=biws," + kNonces + ",p=dHzbZapWIk4jUhN+Ute9ytag9zjfMHgsqmmiz7AndVQ=")},
       {}}};
  steps.insert(steps.end(), more.begin(), more.end());
  return steps;
}
// An ECDSA-NIST256P-CHALLENGE login up to the account name, then `more`.
std::vector<Step> EcdsaSteps(std::vector<Step> more) {
  std::vector<Step> steps = {
      {":irc CAP * LS :sasl=ECDSA-NIST256P-CHALLENGE", {}, {"CAP REQ :sasl"}, {}},
      {":irc CAP * ACK :sasl", {}, {"AUTHENTICATE ECDSA-NIST256P-CHALLENGE"}, {}},
      {"AUTHENTICATE +", {}, {Auth("alice")}, {}}};
  steps.insert(steps.end(), more.begin(), more.end());
  return steps;
}
const std::vector<std::string> kPlainStart = {"CAP LS 302", "NICK relay", kUser};

class CapNegotiationTest : public ::testing::TestWithParam<Conversation> {};

TEST_P(CapNegotiationTest, Converses) {
  const Conversation& c = GetParam();
  CapNegotiation cap;
  auto now = std::chrono::steady_clock::time_point(std::chrono::hours(5));
  const CapOutput first = cap.Start(c.config, now);
  EXPECT_THAT(first.lines, ElementsAreArray(c.start));
  EXPECT_TRUE(first.events.empty());
  for (std::size_t i = 0; i < c.steps.size(); ++i) {
    const Step& step = c.steps[i];
    now += step.wait;
    const CapOutput out =
        step.line.empty() ? cap.Tick(now) : cap.OnMessage(ParseIrcMessage(step.line), now);
    EXPECT_THAT(out.lines, ElementsAreArray(step.sent)) << "step " << i << ": " << step.line;
    EXPECT_THAT(out.events, ElementsAreArray(step.events)) << "step " << i << ": " << step.line;
  }
  EXPECT_EQ(cap.Done(), c.done_at_end);
}

INSTANTIATE_TEST_SUITE_P(
    Conversations, CapNegotiationTest,
    ::testing::Values(
        Conversation{"RequestsOnlyWhatItUsesAndEnds",
                     Config(),
                     kPlainStart,
                     {{":irc CAP * LS :echo-message multi-prefix away-notify account-tag "
                       "sasl=PLAIN\r\n",
                       {},
                       {"CAP REQ :multi-prefix account-tag"},
                       {}},
                      {":irc CAP * ACK :multi-prefix account-tag\r\n", {}, {"CAP END"}, {kDone}},
                      {":irc 001 relay :Welcome\r\n", {}, {}, {}}}},
        Conversation{"PasswordBetweenCapAndNick",
                     Config(SaslMechanism::kNone, true, "hunter2"),
                     {"CAP LS 302", "PASS hunter2", "NICK relay", kUser},
                     {{":irc CAP * LS :server-time\r\n", {}, {"CAP REQ :server-time"}, {}},
                      {":irc CAP * ACK :server-time\r\n", {}, {"CAP END"}, {kDone}}}},
        Conversation{
            "ListOverSeveralLinesThenSaslPlain",
            Config(SaslMechanism::kPlain),
            kPlainStart,
            {{":irc CAP * LS * :sasl=EXTERNAL,PLAIN extended-join\r\n", {}, {}, {}},
             {":irc CAP * LS :account-notify\r\n",
              {},
              {"CAP REQ :sasl extended-join account-notify"},
              {}},
             {":irc CAP relay ACK :sasl extended-join account-notify\r\n",
              {},
              {"AUTHENTICATE PLAIN"},
              {}},
             {"AUTHENTICATE +\r\n", {}, {kAlicePlain}, {}},
             {":irc 900 relay relay!r@h alice :You are now logged in as alice\r\n", {}, {}, {}},
             {":irc 903 relay :SASL authentication successful\r\n",
              {},
              {"CAP END"},
              {{Kind::kSaslSucceeded, "alice"}, kDone}}}},
        Conversation{
            "SaslExternalSendsPlus",
            Config(SaslMechanism::kExternal),
            kPlainStart,
            {{":irc CAP * LS :sasl\r\n", {}, {"CAP REQ :sasl"}, {}},
             {":irc CAP * ACK :sasl\r\n", {}, {"AUTHENTICATE EXTERNAL"}, {}},
             {"AUTHENTICATE +\r\n", {}, {"AUTHENTICATE +"}, {}},
             {":irc 903 relay :ok\r\n", {}, {"CAP END"}, {{Kind::kSaslSucceeded, ""}, kDone}}}},
        Conversation{"RequiredSaslRefusedEndsWithoutCapEnd",
                     Config(SaslMechanism::kPlain),
                     kPlainStart,
                     {{":irc CAP * LS :sasl\r\n", {}, {"CAP REQ :sasl"}, {}},
                      {":irc CAP * ACK :sasl\r\n", {}, {"AUTHENTICATE PLAIN"}, {}},
                      {"AUTHENTICATE +\r\n", {}, {kAlicePlain}, {}},
                      {":irc 904 relay :SASL authentication failed\r\n",
                       {},
                       {},
                       {{Kind::kSaslFailed, "904 SASL authentication failed"}}},
                      {":irc 906 relay :aborted\r\n", {}, {}, {}}}},
        Conversation{"OptionalSaslRefusedRegistersAnyway",
                     Config(SaslMechanism::kPlain, false),
                     kPlainStart,
                     {{":irc CAP * LS :sasl\r\n", {}, {"CAP REQ :sasl"}, {}},
                      {":irc CAP * ACK :sasl\r\n", {}, {"AUTHENTICATE PLAIN"}, {}},
                      {":irc 908 relay EXTERNAL,OTP :are available SASL mechanisms\r\n",
                       {},
                       {"CAP END"},
                       {{Kind::kSaslFailed,
                         "908: the server offers EXTERNAL, OTP; IRCSASLMechanism is PLAIN."},
                        kDone}}}},
        Conversation{
            "MechanismNotOfferedRequestsTheRest",
            Config(SaslMechanism::kExternal, false),
            kPlainStart,
            {{":irc CAP * LS :sasl=PLAIN multi-prefix\r\n",
              {},
              {"CAP REQ :multi-prefix"},
              {{Kind::kSaslFailed, "The server does not offer SASL EXTERNAL (only PLAIN)."}}},
             {":irc CAP * NAK :multi-prefix\r\n", {}, {"CAP END"}, {kDone}}}},
        Conversation{"NoSaslOfferedWhenRequired",
                     Config(SaslMechanism::kPlain),
                     kPlainStart,
                     {{":irc CAP * LS :multi-prefix\r\n",
                       {},
                       {},
                       {{Kind::kSaslFailed, "The server does not offer SASL."}}}}},
        Conversation{"NakFailsRequiredSasl",
                     Config(SaslMechanism::kPlain),
                     kPlainStart,
                     {{":irc CAP * LS :sasl\r\n", {}, {"CAP REQ :sasl"}, {}},
                      {":irc CAP * NAK :sasl\r\n",
                       {},
                       {},
                       {{Kind::kSaslFailed, "The server refused the capability request."}}}}},
        Conversation{"SaslTimesOutAfterFifteenSeconds",
                     Config(SaslMechanism::kPlain, false),
                     kPlainStart,
                     {{":irc CAP * LS :sasl\r\n", {}, {"CAP REQ :sasl"}, {}},
                      {":irc CAP * ACK :sasl\r\n", seconds(1), {"AUTHENTICATE PLAIN"}, {}},
                      {"", seconds(14), {}, {}},
                      {"",
                       seconds(1),
                       {"AUTHENTICATE *", "CAP END"},
                       {{Kind::kSaslFailed, "The server did not answer SASL within 15 s."}, kDone}},
                      {"", seconds(30), {}, {}}}},
        Conversation{"ServerSilentOnCapEndsAfterFiveSeconds",
                     Config(),
                     kPlainStart,
                     {{"", seconds(4), {}, {}},
                      {":irc NOTICE * :*** Looking up your hostname\r\n", {}, {}, {}},
                      {"", seconds(1), {"CAP END"}, {kDone}},
                      {"", seconds(10), {}, {}}}},
        Conversation{
            "UnknownCapCommandRegistersAsBefore",
            Config(),
            kPlainStart,
            {{":irc 421 * CAP :Unknown command\r\n", {}, {}, {kDone}}, {"", seconds(10), {}, {}}}},
        Conversation{
            "WelcomeBeforeAnyCapAnswerFailsRequiredSasl",
            Config(SaslMechanism::kPlain),
            kPlainStart,
            {{":irc 001 relay :Welcome\r\n",
              {},
              {},
              {{Kind::kSaslFailed, "The server does not support capability negotiation."}}}}},
        Conversation{
            "ScramLoginVerifiesTheServer", ScramConfig(), kPlainStart,
            ScramSteps(
                {{Auth("v=6rriTRBi23WpRR/wtup+mMhUZUn/dB5nLTJRsjl95G4="),
                  {},
                  {"AUTHENTICATE +"},
                  {}},
                 {":irc 903 relay :ok", {}, {"CAP END"}, {{Kind::kSaslSucceeded, ""}, kDone}}})},
        Conversation{"ScramWrongServerSignatureAborts", ScramConfig(false), kPlainStart,
                     ScramSteps({{Auth("v=7rriTRBi23WpRR/wtup+mMhUZUn/dB5nLTJRsjl95G4="),
                                  {},
                                  {"AUTHENTICATE *", "CAP END"},
                                  {{Kind::kSaslIntercepted, ScramSignatureText()}, kDone}}})},
        Conversation{"ScramSha512WhenTheOnlyScramOffered",
                     ScramConfig(),
                     kPlainStart,
                     {{":irc CAP * LS :sasl=SCRAM-SHA-512", {}, {"CAP REQ :sasl"}, {}},
                      {":irc CAP * ACK :sasl", {}, {"AUTHENTICATE SCRAM-SHA-512"}, {}}},
                     false},
        Conversation{"EcdsaSendsTheAccountAndRefusesAnEmptyChallenge",
                     Config(SaslMechanism::kEcdsaNist256pChallenge, false), kPlainStart,
                     EcdsaSteps({{"AUTHENTICATE +",
                                  {},
                                  {"AUTHENTICATE *", "CAP END"},
                                  {{Kind::kSaslFailed, EcdsaChallengeText("empty")}, kDone}}})},
        Conversation{"EcdsaRefusesAChallengeThatIsNotBase64",
                     Config(SaslMechanism::kEcdsaNist256pChallenge), kPlainStart,
                     EcdsaSteps({{"AUTHENTICATE c2lnbg=x",
                                  {},
                                  {"AUTHENTICATE *"},
                                  {{Kind::kSaslFailed, EcdsaChallengeText("not base64")}}}})},
        Conversation{"CapNotifyAfterRegistration",
                     Config(SaslMechanism::kPlain, false),
                     kPlainStart,
                     {{":irc CAP * LS :multi-prefix\r\n",
                       {},
                       {"CAP REQ :multi-prefix"},
                       {{Kind::kSaslFailed, "The server does not offer SASL."}}},
                      {":irc CAP * ACK :multi-prefix\r\n", {}, {"CAP END"}, {kDone}},
                      // What the table asks for, but no login after registration.
                      {":irc CAP relay NEW :away-notify sasl=PLAIN chghost account-tag\r\n",
                       {},
                       {"CAP REQ :chghost account-tag"},
                       {}},
                      {":irc CAP relay ACK :chghost sasl\r\n",
                       {},
                       {},
                       {{Kind::kCapabilityAdded, "chghost"}}},
                      {":irc CAP relay NAK :account-tag\r\n", {}, {}, {}},
                      {":irc CAP relay DEL :account-tag chghost\r\n",
                       {},
                       {},
                       {{Kind::kCapabilityRemoved, "chghost"}}}}},
        Conversation{"StillWaitingForTheList",
                     Config(),
                     kPlainStart,
                     {{":irc CAP * LS * :multi-prefix\r\n", seconds(4), {}, {}}},
                     false}),
    [](const auto& info) { return info.param.name; });

TEST(CapNegotiationTest, RequestsTheTableAndTellsWhatComesIntoAndOutOfEffect) {
  std::string told, all, on, off;  // " +name" and " -name" as told, and as expected
  CapNegotiation cap(
      [&told](const Capability& c, bool in) { told += (in ? " +" : " -") + std::string(c.name); });
  const auto now = std::chrono::steady_clock::time_point();
  const CapConfig config = Config(SaslMechanism::kPlain);
  cap.Start(config, now);
  std::vector<std::string> requested;  // all but the rows that are only listed
  for (const Capability& c : Capabilities()) {
    if (c.requested(config)) requested.emplace_back(c.name);
  }
  const std::string last = requested.back();
  for (const std::string& name : requested) {
    all += (all.empty() ? "" : " ") + name;
    on += " +" + name;
    if (name != last) off += " -" + name;
  }
  // An ACK counts only as the answer to the request, and only for its names.
  cap.OnMessage(ParseIrcMessage(":irc CAP * ACK :" + all), now);
  EXPECT_THAT(cap.OnMessage(ParseIrcMessage(":irc CAP * LS :away-notify " + all), now).lines,
              ElementsAre("CAP REQ :" + all));
  cap.OnMessage(ParseIrcMessage(":irc CAP * ACK :away-notify " + all + " x"), now);
  // DEL takes one out of effect; an ACK outside the request does not bring it back.
  cap.OnMessage(ParseIrcMessage(":irc CAP relay DEL :" + last), now);
  cap.OnMessage(ParseIrcMessage(":irc CAP * ACK :" + last), now);
  EXPECT_EQ(told, on + " -" + last);
  EXPECT_EQ(cap.Enabled().size(), requested.size() - 1);
  // A new connection forgets the others, and tells so.
  told.clear();
  cap.Start(Config(), now);
  EXPECT_TRUE(cap.Enabled().empty());
  EXPECT_EQ(told, off);
}

struct Base64Case {
  std::string in, out;
};

TEST(Base64Test, EncodesAsRfc4648) {
  for (const Base64Case& c : std::vector<Base64Case>{{"", ""},
                                                     {"f", "Zg=="},
                                                     {"fo", "Zm8="},
                                                     {"foo", "Zm9v"},
                                                     {"foob", "Zm9vYg=="},
                                                     {"fooba", "Zm9vYmE="},
                                                     {"foobar", "Zm9vYmFy"},
                                                     {std::string("\0\xff\xfe", 3), "AP/+"}}) {
    EXPECT_EQ(Base64Encode(c.in), c.out) << c.in;
  }
}

TEST(AuthenticateLinesTest, SplitsIntoFourHundredByteChunks) {
  struct Case {
    std::size_t length;
    std::vector<std::size_t> chunks;  // 0 stands for "+"
  };
  for (const Case& c : std::vector<Case>{{0, {0}},
                                         {1, {1}},
                                         {399, {399}},
                                         {400, {400, 0}},
                                         {401, {400, 1}},
                                         {800, {400, 400, 0}},
                                         {1000, {400, 400, 200}}}) {
    std::string payload;
    for (std::size_t i = 0; i < c.length; ++i) payload += static_cast<char>('A' + i % 26);
    const std::vector<std::string> lines = AuthenticateLines(payload);
    ASSERT_EQ(lines.size(), c.chunks.size()) << c.length;
    std::string joined;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const std::string chunk = lines[i].substr(std::string("AUTHENTICATE ").size());
      if (c.chunks[i] == 0) {
        EXPECT_EQ(chunk, "+");
      } else {
        EXPECT_EQ(chunk.size(), c.chunks[i]);
        joined += chunk;
      }
    }
    EXPECT_EQ(joined, payload);
  }
}

TEST(RegistrationUserLineTest, UpperCasesOnlyTheFourthField) {
  EXPECT_EQ(RegistrationUserLine("relay", "pc7", 1042), kUser);
  EXPECT_EQ(RegistrationUserLine("Bot", "my-Box.lan", 65535),
            "USER Bot my-Box.lan MY-BOX.LAN:65535/0 :Winsock Client");
}

}  // namespace
}  // namespace zelvo
