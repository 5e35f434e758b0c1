// A TrayNotifier that records what would go to the shell's notification
// area: each command with the icon it carried.
#pragma once

#include <windows.h>

#include <utility>
#include <vector>

#include "toolkit/tray_icon.h"

namespace sentrova::test {

// The records go to the window's own thread only (other threads post).
class RecordingTray final : public TrayNotifier {
 public:
  bool Notify(DWORD command, const NOTIFYICONDATAA& record) override {
    records.push_back({command, record.hIcon});
    return true;
  }
  int Count(DWORD command) const {
    int n = 0;
    for (const auto& r : records) n += r.first == command ? 1 : 0;
    return n;
  }
  HICON LastIcon() const { return records.empty() ? nullptr : records.back().second; }
  std::vector<std::pair<DWORD, HICON>> records;
};

}  // namespace sentrova::test
