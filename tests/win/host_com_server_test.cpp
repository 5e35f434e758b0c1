// The COM server's hold on the process: while its class objects are
// registered it keeps one server reference of its own, so that the host
// releasing its last plug-in object never brings the count to zero (where
// Windows would suspend the class objects); the last-release handler is then
// asked only once that reference is gone.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>

#include "host/com_server.h"
#include "host/plugin_object.h"
#include "platform/com.h"
#include "state/process_state.h"

namespace sentrova {
namespace {

std::atomic<int> lastReleases{0};
bool CountLastRelease() {
  ++lastReleases;
  return false;
}

// The process's server reference count, read by taking one and giving it back.
ULONG ServerReferences() {
  const ULONG count = ::CoAddRefServerProcess() - 1;
  ::CoReleaseServerProcess();
  return count;
}

void CreateAndReleaseObject() {
  ComPtr<IUnknown> object;
  ASSERT_HRESULT_SUCCEEDED(VrxObjFactory()->CreateInstance(nullptr, IID_IUnknown,
                                                           object.put_void()));
}

TEST(ComServer, HoldsTheProcessWhileItsClassObjectsAreRegistered) {
  ComApartment com(COINIT_MULTITHREADED);
  SetLastReleaseHandler(&CountLastRelease);
  ASSERT_EQ(ServerReferences(), 0u);
  {
    TComServer server;
    server.RegisterClassObjects();
    server.ResumeClassObjects();
    EXPECT_EQ(ServerReferences(), 1u);
    CreateAndReleaseObject();
    EXPECT_EQ(lastReleases, 0);
    EXPECT_EQ(ServerReferences(), 1u);
    // Shutdown step 1 lets go of it.
    server.DropServerReference();
    EXPECT_EQ(ServerReferences(), 0u);
  }
  // Without it, the last release asks the handler.
  CreateAndReleaseObject();
  EXPECT_EQ(lastReleases, 1);
  SetLastReleaseHandler(nullptr);
}

// The host's DisablePlugin that comes before the start-up sets Running is
// not undone by it.
TEST(ProcessState, AStopBeforeTheStartStays) {
  auto* plugin = new TVRXObj;
  EXPECT_HRESULT_SUCCEEDED(plugin->DisablePlugin());
  plugin->Release();
  EXPECT_FALSE(StartRunning(State()));
  EXPECT_FALSE(State().Running);
}

}  // namespace
}  // namespace sentrova
