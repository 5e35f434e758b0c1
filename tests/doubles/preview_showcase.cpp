// The Clean Up Preview with a counted report, for scripts/take-screenshots.sh:
// preview_showcase.exe [seconds] (default 8).
#include <windows.h>

#include <cstdlib>

#include "cleanup/preview_form.h"
#include "toolkit/message_loop.h"

int main(int argc, char** argv) {
  sentrova::TPreviewForm form(nullptr, [] {
    sentrova::CleanReport report;
    report.items = {{"IE_BAR", 14, 612},     {"IE_HIST", 212, 0},        {"IE_TEMP", 1834, 48731562},
                    {"IE_COOKIES", 57, 38120}, {"WIN_RECYCLE", 6, 2211840}, {"WIN_TEMP", 93, 7402181}};
    return report;
  });
  sentrova::ShowCleanPreview();
  const DWORD end = ::GetTickCount() + static_cast<DWORD>(argc > 1 ? std::atoi(argv[1]) : 8) * 1000;
  ::SetTimer(nullptr, 0, 250, nullptr);  // a message now and then, for the loop to look at the time
  sentrova::RunModalLoop([&] { return static_cast<LONG>(::GetTickCount() - end) >= 0; });
}
