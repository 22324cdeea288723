#include "irc/secret_mask.h"

#include <cctype>

namespace zelvo {

namespace {

bool StartsWithCommand(std::string_view line, std::string_view command) {
  if (line.size() <= command.size() || line[command.size()] != ' ') return false;
  for (std::size_t i = 0; i < command.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(line[i])) != command[i]) return false;
  }
  return true;
}

}  // namespace

std::string MaskSecrets(std::string_view line, const std::vector<std::string>& secrets) {
  std::size_t body_end = line.size();
  while (body_end > 0 && (line[body_end - 1] == '\r' || line[body_end - 1] == '\n')) --body_end;
  std::string body(line.substr(0, body_end));
  const std::string_view end = line.substr(body_end);

  for (std::string_view command : {std::string_view("PASS"), std::string_view("AUTHENTICATE")}) {
    if (!StartsWithCommand(body, command)) continue;
    const std::string argument = body.substr(command.size() + 1);
    const bool plain =
        command == "AUTHENTICATE" &&
        (argument == "+" || argument == "*" || argument == "PLAIN" || argument == "EXTERNAL" ||
         argument.starts_with("SCRAM-SHA-") || argument == "ECDSA-NIST256P-CHALLENGE");
    if (!plain) body = body.substr(0, command.size() + 1) + std::string(kSecretMask);
  }
  for (const std::string& secret : secrets) {
    if (secret.empty()) continue;
    for (std::size_t at = body.find(secret); at != std::string::npos;
         at = body.find(secret, at + kSecretMask.size())) {
      body.replace(at, secret.size(), kSecretMask);
    }
  }
  return body + std::string(end);
}

}  // namespace zelvo
