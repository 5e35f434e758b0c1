#include "cleanup/after_restart.h"

#include <windows.h>

#include <string>

#include "branding/translate.h"
#include "cleanup/pending_text.h"
#include "cleanup/restart_operations.h"
#include "dialogs/ask_layout.h"
#include "dialogs/ask_question.h"
#include "platform/handle.h"
#include "platform/system_facts.h"

namespace sentrova {

namespace {

constexpr wchar_t kRunOnceKeyW[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr wchar_t kRunOnceValueW[] = L"VRX";

std::wstring Utf8ToWide(const std::string& text) {
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0);
  std::wstring out(n > 0 ? n : 0, L'\0');
  if (n > 0) {
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  }
  return out;
}
std::string WideToUtf8(const std::wstring& text) {
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n : 0, '\0');
  if (n > 0) {
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                          nullptr, nullptr);
  }
  return out;
}

// The command with the short path in wide characters: a path that the ANSI
// code page cannot spell would not start the program at the next log-on.
std::wstring CommandText() {
  return Utf8ToWide(AfterRestartCommandText(WideToUtf8(ProgramShortPathW())));
}

RegKey OpenRunOnce(HKEY root) {
  HKEY raw = nullptr;
  if (::RegCreateKeyExW(root, kRunOnceKeyW, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &raw,
                        nullptr) != ERROR_SUCCESS) {
    return RegKey();
  }
  return RegKey(raw);
}

// The machine's key first; the user's own when the machine's is refused.
const HKEY kRunOnceRoots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};

}  // namespace

bool WriteAfterRestartCommand() {
  const std::wstring command = CommandText();
  for (HKEY root : kRunOnceRoots) {
    RegKey key = OpenRunOnce(root);
    if (key && ::RegSetValueExW(key.get(), kRunOnceValueW, 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(command.c_str()),
                                static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))) ==
                   ERROR_SUCCESS) {
      return true;
    }
  }
  return false;
}

bool AfterRestartCommandWritable() {
  for (HKEY root : kRunOnceRoots) {
    if (OpenRunOnce(root)) return true;
  }
  return false;
}

void TellAfterRestartUnavailable(std::string_view title) {
  const std::string heading = std::string{static_cast<char>(kOptionInfoOnly),
                                          static_cast<char>(kOptionNoCheckbox)} +
                              TranslateText("Clean up after restart is not possible");
  const std::string body =
      TranslateText("Clean up was not performed completely because of some items locked in "
                    "Internet Explorer.") +
      " " +
      TranslateText("Your user account may not schedule the clean up to be performed after "
                    "restart of your computer.") +
      "\r\n\r\n" +
      TranslateText("Close Internet Explorer and start the clean up again.");
  bool unused = false;
  AskQuestionSimple(title, heading, body, "", "ASKSCHEDULE", unused);
}

}  // namespace sentrova
