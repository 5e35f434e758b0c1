#include "monitor/alert_texts.h"

namespace sentrova {

namespace {

bool BlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

}  // namespace

std::string HomePageComparisonForm(std::string_view address) {
  size_t first = 0;
  size_t last = address.size();
  while (first < last && BlankOrControl(address[first])) ++first;
  while (last > first && BlankOrControl(address[last - 1])) --last;
  std::string form(address.substr(first, last - first));
  for (char& c : form)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (!form.empty() && (form.back() == '\\' || form.back() == '/')) form.pop_back();
  return form;
}

std::string HomePageDisplayForm(std::string_view address) {
  if (address.size() <= 50) return std::string(address);
  return std::string(address.substr(0, 48)) + "...";
}

HomePageAction DecideHomePage(std::string_view homeUrl, std::string_view previousUrl,
                              std::string_view startPage, bool homeSet) {
  const std::string monitored = HomePageComparisonForm(homeUrl);
  const std::string current = HomePageComparisonForm(startPage);
  if (monitored.empty() || current.empty() || monitored == current) return HomePageAction::kNone;
  if (homeSet) return HomePageAction::kResetSilently;
  return current == HomePageComparisonForm(previousUrl) ? HomePageAction::kAskSettings
                                                        : HomePageAction::kAskChanged;
}

std::string HomePageMessage(bool settingsCase, std::string_view oldAddress,
                            std::string_view newAddress, const Translator& translate) {
  std::string text;
  if (settingsCase) {
    text = translate(
               "You have just changed homepage to be monitored in Sentrova Settings from "
               "\"%NEW%\" to \"%OLD%\".") +
           "\n\r" + std::string(73, ' ') + "\n\r" +
           translate("Do you want to set \"%OLD%\" as your homepage?");
  } else {
    text = translate(
               "Sentrova has detected Internet Explorer homepage change from \"%OLD%\" to "
               "\"%NEW%\".") +
           "\n\r" + std::string(86, ' ') + "\n\r" +
           translate("Would you like to restore your homepage settings to \"%OLD%\" ?");
  }
  ReplaceAll(text, "%OLD%", oldAddress);
  ReplaceAll(text, "%NEW%", newAddress);
  return text;
}

std::string SecurityAlertMessage(const Translator& translate) {
  return translate("Sentrova has detected changes in IE security settings.") + "\n\r\n\r" +
         translate(
             "These changes may be unauthorized, dangerous and in some cases they can cause a "
             "serious damage to your computer.") +
         "\n\r\n\r" +
         translate("Would you like to restore your original Internet Explorer security settings?");
}

}  // namespace sentrova
