// Shows one of the product's four questions as its callers word them, for
// scripts/take-screenshots.sh: ask_showcase.exe restore|homepage|closeie|schedule
// [seconds [button]]. The question closes itself the given time (default 8 s)
// after it appeared, answered "No", so that the program always ends. A button
// caption (without "&") moves the focus there once the question is up.
#include <windows.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "branding/translate.h"
#include "dialogs/ask_question.h"
#include "platform/com.h"

namespace {

using sentrova::TranslateText;

struct Question {
  std::string title, heading, message, picture, checkboxCaption, thirdCaption;
};

Question Make(const std::string& which) {
  const std::string crlf2 = "\r\n\r\n", lfcr2 = "\n\r\n\r";
  if (which == "restore")
    return {TranslateText("Sentrova - Security Settings Changed"),
            std::string("\x03") + TranslateText("Restore original Internet Explorer security settings?"),
            TranslateText("Sentrova has detected changes in IE security settings.") + lfcr2 +
                TranslateText("These changes may be unauthorized, dangerous and in some cases they "
                              "can cause a serious damage to your computer.") +
                lfcr2 +
                TranslateText("Would you like to restore your original Internet Explorer security "
                              "settings?"),
            "ASKRESTORE", "", "Details..."};
  if (which == "homepage") {
    std::string m = TranslateText(
                        "Sentrova has detected Internet Explorer homepage change from \"%OLD%\" to "
                        "\"%NEW%\".") +
                    "\n\r" + std::string(86, ' ') + "\n\r" +
                    TranslateText("Would you like to restore your homepage settings to \"%OLD%\" ?");
    for (auto [from, to] : {std::pair<std::string, std::string>{"%OLD%", "www.example.com"},
                            {"%NEW%", "search.unwanted-toolbar.test"}}) {
      for (size_t at; (at = m.find(from)) != std::string::npos;) m.replace(at, from.size(), to);
    }
    return {TranslateText("Sentrova - Homepage Change Alert!"), TranslateText("Homepage Change Alert!"),
            m, "ASKHOMEPAGE", TranslateText("Next time restore without asking"), ""};
  }
  if (which == "closeie")
    return {TranslateText("Sentrova - Clean Up"),
            TranslateText("Close all running Internet Explorer windows?"),
            TranslateText("You want to clean up items that may be locked in Internet Explorer.") +
                " " +
                TranslateText("If you will not close Internet Explorer, the clean up might fail.") +
                crlf2 +
                TranslateText("Do you want to close all running Internet Explorer windows?"),
            "ASKCLOSEIE", "", ""};
  return {TranslateText("Sentrova - Clean Up"), TranslateText("Perform clean up after restart?"),
          TranslateText("Clean up was not performed completely because of some items locked in "
                        "Internet Explorer.") +
              " " +
              TranslateText("The clean up could be performed successfully after you restart your "
                            "computer.") +
              crlf2 +
              TranslateText("Do you want to schedule clean up to be performed after restart of "
                            "your computer?"),
          "ASKSCHEDULE", "", ""};
}

}  // namespace

int main(int argc, char** argv) {
  sentrova::ComApartment apartment(COINIT_APARTMENTTHREADED);
  const Question q = Make(argc > 1 ? argv[1] : "restore");
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 8;
  const std::string focus = argc > 3 ? argv[3] : "";
  // Set when the question is over, so that the closer need not wait its time.
  HANDLE answered = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::thread closer([&] {
    HWND w = nullptr;
    for (int i = 0; i < 6000; ++i) {
      if (::WaitForSingleObject(answered, 0) == WAIT_OBJECT_0) return;
      w = ::FindWindowA(nullptr, q.title.c_str());
      if (w && ::IsWindowVisible(w)) break;
      ::Sleep(10);
    }
    for (HWND c = w ? ::GetWindow(w, GW_CHILD) : nullptr; c && !focus.empty();
         c = ::GetWindow(c, GW_HWNDNEXT)) {
      char text[256] = {};
      ::GetWindowTextA(c, text, sizeof text);
      std::string plain(text);
      std::erase(plain, '&');
      if (plain == focus) ::PostMessageA(w, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(c), TRUE);
    }
    if (::WaitForSingleObject(answered, static_cast<DWORD>(seconds) * 1000) == WAIT_TIMEOUT && w)
      ::PostMessageA(w, WM_CLOSE, 0, 0);
  });
  bool flag = false;
  // The mark of code 7 shows the question whatever the host's flag says.
  sentrova::AskQuestion("\x07" + q.title, q.heading, q.message, "", q.picture, flag,
                        q.checkboxCaption, q.thirdCaption,
                        q.thirdCaption.empty() ? sentrova::AskAction{}
                                               : sentrova::AskAction([](sentrova::TControl&) {}));
  ::SetEvent(answered);
  closer.join();
  ::CloseHandle(answered);
  return 0;
}
