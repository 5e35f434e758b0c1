// Start-up figures as the toolbar host sees them, under the same Wine:
//   wine_process_ms  start and end of a program that does nothing (bare_idle exit)
//   bare_com_ms      CoCreateInstance of the bare COM local server: Wine's own
//                    cost of starting a local server and finding its class
//   activation_ms    CoCreateInstance of the plug-in: process start until the
//                    program's class objects are registered and the object
//                    reaches the client
//   connect_ms       then name, instance id, HostStarted, defaults and the
//                    first Connect, as the host calls them, until Connect returns
// Both objects are then held for the given seconds, so that the caller can
// read the memory of both servers while a client holds an object of each.
//   startup_probe.exe RESULT-FILE HOLD-SECONDS
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/host_contract.h"
#include "platform/com.h"

namespace {

using sentrova::Bstr;
using sentrova::ComPtr;

// {5E1C4F0A-77B2-4C1D-9B3E-2A6F8D0C1E55}, the bare server's class.
constexpr CLSID kBareClassId = {
    0x5e1c4f0a, 0x77b2, 0x4c1d, {0x9b, 0x3e, 0x2a, 0x6f, 0x8d, 0x0c, 0x1e, 0x55}};

double NowMs() {
  LARGE_INTEGER counter, frequency;
  ::QueryPerformanceCounter(&counter);
  ::QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::string Beside(const char* file) {
  char path[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path);
  return dir.substr(0, dir.find_last_of('\\') + 1) + file;
}

double ProcessStartMs() {
  std::string command(1, '"');
  command.append(Beside("bare_idle.exe")).append("\" exit");
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  const double start = NowMs();
  if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
    return -1;
  }
  ::WaitForSingleObject(pi.hProcess, 30000);
  const double took = NowMs() - start;
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
  return took;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  FILE* out = std::fopen(argv[1], "w");
  if (out == nullptr) return 2;
  ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);

  // The first start pays for loading Wine's own DLLs; the second is the cost.
  ProcessStartMs();
  std::fprintf(out, "wine_process_ms=%.0f\n", ProcessStartMs());

  ComPtr<IUnknown> bare;
  double start = NowMs();
  HRESULT hr = ::CoCreateInstance(kBareClassId, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                  bare.put_void());
  std::fprintf(out, "bare_com_ms=%.0f\nbare_com_hr=0x%08lx\n", NowMs() - start,
               static_cast<unsigned long>(hr));

  ComPtr<ITB4Plugin> plugin;
  start = NowMs();
  hr = ::CoCreateInstance(sentrova::kVrxObjClassId, nullptr, CLSCTX_LOCAL_SERVER, IID_ITB4Plugin,
                          plugin.put_void());
  const double created = NowMs();
  std::fprintf(out, "activation_ms=%.0f\nactivation_hr=0x%08lx\n", created - start,
               static_cast<unsigned long>(hr));
  if (plugin) {
    Bstr name, defaults;
    plugin->GetPluginName(name.put());
    Bstr id = Bstr::FromAnsi("1001");
    plugin->SetInstanceId(id.get());
    plugin->HostStarted();
    plugin->GetDefaults(defaults.put());
    LONG connected = 0;
    plugin->Connect(&connected);
    std::fprintf(out, "connect_ms=%.0f\n", NowMs() - created);
  }
  std::fprintf(out, "holding=1\n");
  std::fclose(out);
  ::Sleep(static_cast<DWORD>(std::atoi(argv[2])) * 1000);
  plugin.reset();
  bare.reset();
  ::CoUninitialize();
  return 0;
}
