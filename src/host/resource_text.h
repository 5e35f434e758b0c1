// The NAME=VALUE texts that the program carries as resources (DEFSET, CONFIG,
// LABELS) and the defaults text built from them for the toolbar host.
// Platform-free.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sentrova {

// The lines of a resource text: the bytes up to the first NUL, split at
// CR LF (or a lone CR or LF). Empty lines are kept: they separate groups.
std::vector<std::string> ResourceLines(std::string_view bytes);

// The value of the first NAME=VALUE line whose name matches (ASCII letters
// compared without regard to case); nothing when no line has that name.
// The value is everything after the first "=", as it stands.
std::optional<std::string> FindResourceValue(const std::vector<std::string>& lines,
                                             std::string_view name);

// Appends every line followed by CR LF, then one more CR LF: the way the
// DEFSET and CONFIG parts are joined into the defaults text.
void AppendDefaultsPart(std::string& defaultsText, const std::vector<std::string>& lines);

// The addresses and tray default that the CONFIG resource supplies.
struct ConfigAddresses {
  std::string helpUrl;
  std::string aboutUrl;
  std::string settingsHelpUrl;
  bool trayDefault = false;
};

// The built-in addresses, used when the CONFIG resource is missing or does
// not name them.
ConfigAddresses DefaultConfigAddresses();

// Takes HELP_URL, ABOUT_URL and SETTINGS_HELP from the CONFIG lines where they
// occur (trimmed of blanks and control characters), and SHOW_TRAY where it
// occurs (true exactly for "1"); what does not occur stays as it is.
void ApplyConfigLines(const std::vector<std::string>& configLines, ConfigAddresses& addresses);

}  // namespace sentrova
