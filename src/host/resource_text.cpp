#include "host/resource_text.h"

#include "branding/name_value_list.h"
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
  return NameValueList(bytes).Lines();
}

std::optional<std::string> FindResourceValue(const std::vector<std::string>& lines,
                                             std::string_view name) {
  return NameValueList::FindIn(lines, name);
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
