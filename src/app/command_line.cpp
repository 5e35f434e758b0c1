#include "app/command_line.h"

#include "platform/text.h"

namespace sentrova {

std::vector<std::string> SplitParameters(std::string_view text) {
  std::vector<std::string> parameters;
  const size_t n = text.size();
  size_t i = 0;
  for (;;) {
    // Between parameters: blanks and control characters, and empty "" pairs.
    while (i < n) {
      if (IsBlankOrControl(text[i])) {
        ++i;
      } else if (text[i] == '"' && i + 1 < n && text[i + 1] == '"') {
        i += 2;
      } else {
        break;
      }
    }
    if (i >= n) break;
    const size_t start = i;
    bool quoted = false;
    while (i < n) {
      const char c = text[i];
      if (c == '"') {
        quoted = !quoted;
      } else if (!quoted && IsBlankOrControl(c)) {
        break;
      }
      ++i;
    }
    std::string parameter(text.substr(start, i - start));
    if (parameter.size() > 1 && parameter.front() == '"' && parameter.back() == '"') {
      parameter = parameter.substr(1, parameter.size() - 2);
    }
    parameters.push_back(std::move(parameter));
  }
  return parameters;
}

std::string NormalizeKeyword(std::string_view parameter) {
  std::string keyword = UpperAscii(parameter);
  const size_t first = keyword.find_first_not_of("-/");
  return first == std::string::npos ? std::string() : keyword.substr(first);
}

StartCommand ParseStartCommand(std::string_view commandLineArguments) {
  const std::vector<std::string> parameters = SplitParameters(commandLineArguments);
  if (parameters.empty()) return StartCommand::kNormalRun;
  const std::string keyword = NormalizeKeyword(parameters.front());
  if (keyword == "CLEANUP") return StartCommand::kCleanUp;
  if (keyword == "MANUALUPDATE") return StartCommand::kManualUpdate;
  if (keyword == "REGSERVER") return StartCommand::kRegServer;
  if (keyword == "UNREGSERVER") return StartCommand::kUnregServer;
  return StartCommand::kNormalRun;
}

}  // namespace sentrova
