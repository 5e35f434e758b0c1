// The named kernel objects of the loop and worker control: each is created
// by name (without a namespace prefix) with its kind and reset mode, created
// clear, and SignalEvent sets the event it names.
// ctest: serial
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>

#include "state/control_objects.h"

namespace sentrova {
namespace {

bool IsSet(HANDLE event) { return ::WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

TEST(ControlObjects, TableNamesEveryObjectWithItsKindAndResetMode) {
  struct Expected {
    const char* name;
    ControlObjectKind kind;
    bool manualReset;
  };
  const Expected expected[] = {
      {"TB4Stop", ControlObjectKind::kEvent, true},
      {"TB4Shutdown_VRX", ControlObjectKind::kEvent, false},
      {"VRX4_Refresh_Cfg", ControlObjectKind::kEvent, false},
      {"VRX4_Start_Scan_Thread", ControlObjectKind::kEvent, false},
      {"VRX4Scanner_StopEvent", ControlObjectKind::kEvent, false},
      {"VRX4Scanner_ReloadEvent", ControlObjectKind::kEvent, false},
      {"VRX_Run_Clean_Mtx", ControlObjectKind::kMutex, false},
      {"PlugInSvcRegistry", ControlObjectKind::kEvent, true},
  };
  ASSERT_EQ(std::size(kControlObjects), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_STREQ(kControlObjects[i].name, expected[i].name);
    EXPECT_EQ(kControlObjects[i].kind, expected[i].kind);
    if (expected[i].kind == ControlObjectKind::kEvent) {
      EXPECT_EQ(kControlObjects[i].manualReset, expected[i].manualReset);
    }
  }
}

TEST(ControlObjects, EventsAreCreatedClearWithTheirResetMode) {
  for (const ControlObject& object : kControlObjects) {
    if (object.kind != ControlObjectKind::kEvent) continue;
    SCOPED_TRACE(object.name);
    // Nobody else holds the name, so this creates it.
    ASSERT_EQ(::OpenEventA(SYNCHRONIZE, FALSE, object.name), nullptr);
    KernelHandle event = OpenControlObject(object);
    ASSERT_TRUE(event);
    // Reachable by the plain name, as the host opens it.
    KernelHandle byName(::OpenEventA(EVENT_ALL_ACCESS, FALSE, object.name));
    ASSERT_TRUE(byName);
    EXPECT_FALSE(IsSet(byName.get()));
    ASSERT_TRUE(::SetEvent(byName.get()));
    EXPECT_TRUE(IsSet(event.get()));
    // A manual-reset event stays set after a wait; an automatic one does not.
    EXPECT_EQ(IsSet(event.get()), object.manualReset);
  }
}

TEST(ControlObjects, TheCleanUpMutexIsCreatedNotOwned) {
  ASSERT_EQ(::OpenMutexA(SYNCHRONIZE, FALSE, "VRX_Run_Clean_Mtx"), nullptr);
  KernelHandle mutex = OpenControlObject(kRunCleanMutex);
  ASSERT_TRUE(mutex);
  // Another thread can take it at once, so the creator does not own it.
  DWORD wait = WAIT_FAILED;
  std::thread other([&] {
    KernelHandle mine(::OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, "VRX_Run_Clean_Mtx"));
    if (!mine) return;
    wait = ::WaitForSingleObject(mine.get(), 0);
    if (wait == WAIT_OBJECT_0) ::ReleaseMutex(mine.get());
  });
  other.join();
  EXPECT_EQ(wait, static_cast<DWORD>(WAIT_OBJECT_0));
}

TEST(ControlObjects, AnObjectThatExistsIsOpenedNotReplaced) {
  // The host created the stop event first, set: the program's open finds it
  // as it is rather than a new clear one.
  KernelHandle hosts(::CreateEventA(nullptr, TRUE, TRUE, "TB4Stop"));
  ASSERT_TRUE(hosts);
  KernelHandle ours = OpenControlObject(kStopAllEvent);
  ASSERT_TRUE(ours);
  EXPECT_TRUE(IsSet(ours.get()));
  ASSERT_TRUE(::ResetEvent(hosts.get()));
  EXPECT_FALSE(IsSet(ours.get()));
}

TEST(ControlObjects, SignalEventSetsTheNamedEventAndKeepsNoHandle) {
  // The event lives only while a handle is open, so the caller's handle keeps it.
  KernelHandle refresh = OpenControlObject(kRefreshConfigEvent);
  ASSERT_TRUE(refresh);
  EXPECT_TRUE(SignalEvent(kRefreshConfigEvent));
  EXPECT_TRUE(IsSet(refresh.get()));
  EXPECT_FALSE(IsSet(refresh.get()));  // automatic reset: the wait consumed it

  // With nobody holding it, signalling creates, sets and closes it again:
  // nothing is left behind by name.
  ASSERT_EQ(::OpenEventA(SYNCHRONIZE, FALSE, "VRX4Scanner_ReloadEvent"), nullptr);
  EXPECT_TRUE(SignalEvent(kScannerReloadEvent));
  EXPECT_EQ(::OpenEventA(SYNCHRONIZE, FALSE, "VRX4Scanner_ReloadEvent"), nullptr);

  // A mutex is not an event to set.
  EXPECT_FALSE(SignalEvent(kRunCleanMutex));
}

}  // namespace
}  // namespace sentrova
