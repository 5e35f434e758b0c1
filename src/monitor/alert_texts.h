// The texts of the monitor's two alerts and the home-page comparison rules.
// Platform-free.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace sentrova {

// Lower case (A..Z only), without surrounding blanks and control characters,
// and without one trailing "\" or "/".
std::string HomePageComparisonForm(std::string_view address);

// The address as stored; beyond 50 characters its first 48 and "...".
std::string HomePageDisplayForm(std::string_view address);

// What the home page check does about the browser's start page.
enum class HomePageAction {
  kNone,           // no difference (or nothing to compare)
  kResetSilently,  // write the monitored address back without asking
  kAskChanged,     // someone changed the start page
  kAskSettings,    // the user changed the monitored address in the settings
};

// homeUrl: the monitored address; previousUrl: the one monitored before the
// last reload; startPage: the browser's; homeSet: reset without asking.
HomePageAction DecideHomePage(std::string_view homeUrl, std::string_view previousUrl,
                              std::string_view startPage, bool homeSet);

// Fills in the brand placeholders of a text (TranslateText).
using Translator = std::function<std::string(std::string_view)>;

// The home page question's message (translated), with the display forms of
// the monitored address (oldAddress) and of the start page (newAddress).
std::string HomePageMessage(bool settingsCase, std::string_view oldAddress,
                            std::string_view newAddress, const Translator& translate);

// The security alert's message (translated).
std::string SecurityAlertMessage(const Translator& translate);

}  // namespace sentrova
