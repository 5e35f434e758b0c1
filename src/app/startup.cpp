#include "app/startup.h"

#include <windows.h>
#include <objbase.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <stdexcept>

#include "app/background.h"
#include "app/command_line.h"
#include "app/run_loop.h"
#include "cleanup/clean.h"
#include "cleanup/cookies_form.h"
#include "cleanup/preview_form.h"
#include "host/com_server.h"
#include "host/host_contract.h"
#include "host/plugin_object.h"
#include "host/resource_text.h"
#include "host/toolbar_texts.h"
#include "monitor/scanner.h"
#include "platform/com.h"
#include "platform/guard.h"
#include "platform/handle.h"
#include "platform/registry.h"
#include "platform/resource_data.h"
#include "platform/system_facts.h"
#include "platform/visual_styles.h"
#include "state/process_state.h"
#include "state/program_actions.h"
#include "ui/main_form.h"

namespace sentrova {

namespace {

// The main thread lives in the multithreaded apartment: the plug-in class is
// free threaded and the host's calls arrive on COM's own threads.
constexpr DWORD kComFlags = COINIT_MULTITHREADED | COINIT_SPEED_OVER_MEMORY;

// The last-release handler: the server must not shut down when the host lets
// go of its last plug-in object; the process serves the host's next object
// and ends only through the run loop's stop conditions.
bool MayShutDownOnLastRelease() { return false; }

TMainForm* CreateMainWindow() {
  auto* form = new TMainForm();
  form->onTrayRemoved = [] { ProgramServices().UpdateToolbarMenu(State().TrayShown); };
  return form;
}

void DestroyMainWindow(TMainForm* form) {
  std::lock_guard<std::mutex> lock(MainWindowMutex());
  delete form;
}
// On the main thread, which made the dialog's windows.
void DestroyCookiesForm(TCookiesForm* form) { delete form; }

void ModuleInitialise() {
  (void)ProgramFileName();  // process facts, before any other thread runs
  ComServer();
  ::CoInitializeEx(nullptr, kComFlags);
  VrxObjFactory();
}

void ModuleFinalise() { ::CoUninitialize(); }

[[noreturn]] void EndProcess(UINT exitCode = 0) {
  // Shutdown steps 5 and 6.
  Guarded([] { ::CoUninitialize(); });
  Guarded([] { ReplaceComServer(); });
  ::ExitProcess(exitCode);
}

// One serving program per logon session. A second normal run, started by
// hand or by COM for a client at another integrity level, would register the
// class as well and share the host's automatic-reset stop events with the
// first, so that a stop reaches only one of them, and two scanners would
// raise the same alerts. Empty when another program of the session holds it
// (or holds it where this one may not even open it).
constexpr char kInstanceMutex[] = "Local\\VRX4_Instance_Mtx";

KernelHandle TakeInstanceMutex(bool& another) {
  KernelHandle mutex(::CreateMutexA(nullptr, FALSE, kInstanceMutex));
  const DWORD error = ::GetLastError();
  another = mutex ? error == ERROR_ALREADY_EXISTS : error == ERROR_ACCESS_DENIED;
  if (another) mutex.reset();
  return mutex;
}

void Tell(StartWatcher* watcher, StartPoint point) {
  if (watcher != nullptr) Guarded([&] { watcher->Reached(point); });
}

// Start step 5, items 2 to 7: one guarded block.
void LoadDefaults() {
  ProcessState& st = State();
  st.Running = false;
  DrainQueue();
  st.LabelsList.clear();
  std::string defaults;
  st.DefaultsText.Set(defaults);
  if (auto defset = LoadRcData("DEFSET")) {
    AppendDefaultsPart(defaults, ResourceLines(*defset));
    st.DefaultsText.Set(defaults);
  }
  DrainQueue();
  ConfigAddresses addresses = DefaultConfigAddresses();
  st.HelpUrl.Set(addresses.helpUrl);
  st.AboutUrl.Set(addresses.aboutUrl);
  st.SettingsHelpUrl.Set(addresses.settingsHelpUrl);
  if (auto config = LoadRcData("CONFIG")) {
    const std::vector<std::string> lines = ResourceLines(*config);
    AppendDefaultsPart(defaults, lines);
    st.DefaultsText.Set(defaults);
    ApplyConfigLines(lines, addresses);
    st.HelpUrl.Set(addresses.helpUrl);
    st.AboutUrl.Set(addresses.aboutUrl);
    st.SettingsHelpUrl.Set(addresses.settingsHelpUrl);
    st.TrayDefault = addresses.trayDefault;
  }
  DrainQueue();
  // LABELS is required: without it the rest of this block is skipped.
  auto labels = LoadRcData("LABELS");
  if (!labels) throw std::runtime_error("LABELS resource missing");
  st.LabelsList = ResourceLines(*labels);
  DrainQueue();
}

void NormalRun(StartWatcher* watcher) {
  ProcessState& st = State();
  // The Clean Up Preview, made on this thread with the main window.
  std::unique_ptr<TPreviewForm> preview;
  // 1.
  Guarded([] { ::CoInitializeEx(nullptr, kComFlags); });
  // 2. A disabled plug-in never offers its class, so the host's attempt to
  // create a plug-in object fails.
  if (GuardedOr(false, [] { return PluginDisabled(); })) {
    ::CoUninitialize();
    return;
  }
  // Before anything is offered: a second program of the session ends here.
  bool another = false;
  KernelHandle instance = GuardedOr(KernelHandle(), [&] { return TakeInstanceMutex(another); });
  if (another) {
    ::CoUninitialize();
    return;
  }
  // 3. The registration is brought up to date at every start (only what
  // differs is written); a user without write access to the machine's
  // classes still gets a serving process. The class objects stay suspended
  // until the start-up is complete, so that no host call finds the defaults,
  // the texts or the actions still missing.
  Guarded([] {
    Guarded([] { ComServer().UpdateRegistry(true); });
    ComServer().RegisterClassObjects();
    DrainQueue();
  });
  Tell(watcher, StartPoint::kClassObjectsRegistered);
  // 4.
  Guarded([] { BuildToolbarTexts(); });
  // 5. Visual styles for the dialogs, on the systems whose controls need the
  // manifest activated; then the defaults; then the main window.
  Guarded([] {
    if (IsXpClassSystem()) ActivateProcessVisualStyles();
  });
  Guarded([] { LoadDefaults(); });
  Guarded([&] {
    InstallActions(&ProgramActionSet());
    st.MainWindow = CreateMainWindow();
    Guarded([&] {
      preview = std::make_unique<TPreviewForm>(&st.MainWindow.load()->Window(),
                                               CountCleanUpPreview);
    });
    SetLastReleaseHandler(&MayShutDownOnLastRelease);
    // A DisablePlugin that came first keeps it cleared.
    StartRunning(st);
    DrainQueue();
  });
  // Start-up is complete: the host may now create plug-in objects.
  Guarded([] { ComServer().ResumeClassObjects(); });
  Tell(watcher, StartPoint::kServing);
  // 6.
  if (st.Running) Guarded([] { RunLoop(); });
  // 7. Shutdown. Step 1 gives the server's own reference back and revokes
  // the class objects; then a new program of the session may serve.
  Guarded([] {
    SetLastReleaseHandler(nullptr);
    ComServer().DropServerReference();
    ReplaceComServer();
  });
  Guarded([&] { instance.reset(); });
  Guarded([] { ReleaseToolbarImages(); });
  Guarded([&] {
    Guarded([] { StopScanner(); });
    Guarded([&] { DestroyCookiesForm(st.CookiesForm.exchange(nullptr)); });
    Guarded([&] { preview.reset(); });
    Guarded([&] { DestroyMainWindow(st.MainWindow.exchange(nullptr)); });
    // A scanner that did not end in time may still show its labels.
    Guarded([] { ReleaseLabelsAfterScanners(); });
    if (IsXpClassSystem()) Guarded([] { DeactivateProcessVisualStyles(); });
  });
  ::Sleep(1000);
  EndProcess();
}

// The installer learns from the exit code whether the class keys could be
// written; removing what is not there is no failure.
[[noreturn]] void RegistrationRun(bool doRegister) {
  bool written = true;
  Guarded([&] {
    ComApartment com(kComFlags);
    written = GuardedOr(false, [&] {
      ComServer().UpdateRegistry(doRegister);
      return true;
    });
  });
  EndProcess(doRegister && !written ? 1 : 0);
}

}  // namespace

bool PluginDisabled() {
  // Only a text value counts: a number 1 does not disable.
  HKEY raw = nullptr;
  const std::string path = NormalizeKeyPath(kHostPluginKey);
  // The toolbar host, a 32-bit browser add-on on most machines, keeps its
  // machine-wide values in the 32-bit view.
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY,
                      &raw) !=
      ERROR_SUCCESS) {
    return false;
  }
  RegKey key(raw);
  DWORD type = 0;
  char data[8] = {};
  DWORD size = sizeof data;
  if (::RegQueryValueExA(key.get(), "DISABLED", nullptr, &type, reinterpret_cast<BYTE*>(data),
                         &size) != ERROR_SUCCESS) {
    return false;
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  const std::string text(data, strnlen(data, size));
  return text == "1";
}

int RunProgram(const std::string& commandLineArguments, StartWatcher* watcher) {
  ModuleInitialise();
  const StartCommand command =
      GuardedOr(StartCommand::kNormalRun, [&] { return ParseStartCommand(commandLineArguments); });
  switch (command) {
    case StartCommand::kCleanUp:
      Guarded([] {
        ComApartment com(COINIT_MULTITHREADED);
        // The typed-address list and the URL history, which the browser held
        // during the pass that offered it; its report is stored like a pass's.
        CleanUpAfterRestart();
      });
      break;
    case StartCommand::kManualUpdate:
      break;
    case StartCommand::kRegServer:
      RegistrationRun(true);
    case StartCommand::kUnregServer:
      RegistrationRun(false);
    case StartCommand::kNormalRun:
      NormalRun(watcher);
      break;
  }
  ModuleFinalise();
  return 0;
}

}  // namespace sentrova
