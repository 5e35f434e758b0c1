#include "host/resource_text.h"

#include "platform/text.h"

namespace sentrova {

namespace {
// The product's own addresses; the CONFIG resource normally repeats them.
constexpr char kDefaultHelpUrl[] = "https://www.sentrova.example/help/";
constexpr char kDefaultAboutUrl[] = "https://www.sentrova.example/";
constexpr char kDefaultSettingsHelpUrl[] =
    "https://support.brindle-soft.example/portal/?p=sentrova&t=settings&i=";
}  // namespace

std::vector<std::string> ResourceLines(std::string_view bytes) {
  const size_t nul = bytes.find('\0');
  if (nul != std::string_view::npos) bytes = bytes.substr(0, nul);
  return SplitLines(bytes);
}

std::optional<std::string> FindResourceValue(const std::vector<std::string>& lines,
                                             std::string_view name) {
  for (const std::string& line : lines) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    if (SameTextAscii(std::string_view(line).substr(0, eq), name)) return line.substr(eq + 1);
  }
  return std::nullopt;
}

void AppendDefaultsPart(std::string& defaultsText, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    defaultsText += line;
    defaultsText += "\r\n";
  }
  defaultsText += "\r\n";
}

ConfigAddresses DefaultConfigAddresses() {
  ConfigAddresses a;
  a.helpUrl = kDefaultHelpUrl;
  a.aboutUrl = kDefaultAboutUrl;
  a.settingsHelpUrl = kDefaultSettingsHelpUrl;
  return a;
}

void ApplyConfigLines(const std::vector<std::string>& configLines, ConfigAddresses& addresses) {
  if (auto v = FindResourceValue(configLines, "HELP_URL")) addresses.helpUrl = Trim(*v);
  if (auto v = FindResourceValue(configLines, "ABOUT_URL")) addresses.aboutUrl = Trim(*v);
  if (auto v = FindResourceValue(configLines, "SETTINGS_HELP")) {
    addresses.settingsHelpUrl = Trim(*v);
  }
  if (auto v = FindResourceValue(configLines, "SHOW_TRAY")) addresses.trayDefault = (*v == "1");
}

}  // namespace sentrova
