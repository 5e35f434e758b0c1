// A TrayNotifier that records what would go to the shell's notification
// area: each command with the icon it carried, and the balloons.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "toolkit/tray_icon.h"

namespace sentrova::test {

// The records go to the window's own thread only (other threads post).
class RecordingTray final : public TrayNotifier {
 public:
  bool Notify(DWORD command, const NOTIFYICONDATAA& record) override {
    records.push_back({command, record.hIcon});
    // A balloon as "title: text", in a modify of the second-version size.
    if (record.uFlags & NIF_INFO)
      balloons.push_back(command == NIM_MODIFY && record.cbSize == kTrayBalloonRecordSize
                             ? std::string(record.szInfoTitle) + ": " + record.szInfo
                             : "malformed");
    return true;
  }
  int Count(DWORD command) const {
    int n = 0;
    for (const auto& r : records) n += r.first == command ? 1 : 0;
    return n;
  }
  HICON LastIcon() const { return records.empty() ? nullptr : records.back().second; }
  std::vector<std::pair<DWORD, HICON>> records;
  std::vector<std::string> balloons;
};

}  // namespace sentrova::test
