// A ProgramActions that records what the host link and the tray ask of the
// program, as "StartCleanUp 1", "OpenSettings", "SetTray 01" (show, store).
#pragma once

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "state/program_actions.h"

namespace sentrova::test {

using Calls = std::vector<std::string>;

class RecordedActions final : public ProgramActions {
 public:
  void StartCleanUp(bool interactive) override { Add("StartCleanUp " + Flag(interactive)); }
  void ShowCookiesDialog() override { Add("ShowCookiesDialog"); }
  void ShowCleanPreview() override { Add("ShowCleanPreview"); }
  void OpenSettings() override { Add("OpenSettings"); }
  void SetTray(bool show, bool store) override { Add("SetTray " + Flag(show) + Flag(store)); }
  Calls Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(calls_, {});
  }

 private:
  static std::string Flag(bool b) { return b ? "1" : "0"; }
  void Add(std::string call) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(std::move(call));
  }
  std::mutex mutex_;
  Calls calls_;
};

}  // namespace sentrova::test
