// The texts and images that the plug-in objects hand to the toolbar host:
// the nine translated captions, the drop-down menu text, the settings page
// list and the BUTTON bitmap as BMP files (bytes, and hexadecimal text).
// Built once at start-up; read from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sentrova {

struct ToolbarCaptions {
  std::string productName;
  std::string cleanUpNow;
  std::string settings;
  std::string removeIcon;
  std::string help;
  std::string about;
  std::string trayTip;
  std::string cleanUpSettings;
  std::string securityMonitoring;
};

struct ToolbarTexts {
  ToolbarCaptions captions;
  // CAPTION=COMMAND lines ("-" for a separator), LF between, none at the end.
  std::string menuText;
  // The button as a complete 32-bit BMP file; empty when it could not be made.
  std::vector<uint8_t> buttonImage;
  // The button in the screen's format as a BMP file, every byte as two
  // upper-case hexadecimal digits.
  std::string buttonImageText;
};

// The menu the toolbar button drops down.
std::string BuildMenuText(const ToolbarCaptions& captions);
// The host's settings pages: "CAPTION=res://EXE/opt_..." lines, CR LF between.
std::string BuildSettingsPageList(const ToolbarCaptions& captions, std::string_view exePath);
// Bytes as upper-case hexadecimal digits without separators.
std::string HexText(const std::vector<uint8_t>& bytes);

// Builds the toolbar texts once at start-up, before the host can ask for them.
void BuildToolbarTexts();
// A copy of what BuildToolbarTexts made (empty before).
ToolbarTexts CurrentToolbarTexts();
// Releases the button images made by BuildToolbarTexts (shutdown).
void ReleaseToolbarImages();

}  // namespace sentrova
