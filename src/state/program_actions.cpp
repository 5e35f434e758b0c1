#include "state/program_actions.h"

#include <atomic>

namespace sentrova {

namespace {

class NoActions final : public ProgramActions {
 public:
  void StartCleanUp(bool) override {}
  void ShowCookiesDialog() override {}
  void ShowCleanPreview() override {}
  void OpenSettings() override {}
  void SetTray(bool, bool) override {}
};

NoActions noActions;
std::atomic<ProgramActions*> installed{nullptr};

}  // namespace

ProgramActions& Actions() {
  ProgramActions* actions = installed.load();
  return actions != nullptr ? *actions : noActions;
}

void InstallActions(ProgramActions* actions) { installed = actions; }

}  // namespace sentrova
