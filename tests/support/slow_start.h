// The slow-starting build of the program (slow_start.cpp).
#pragma once

namespace sentrova::test {

inline constexpr char kSlowStartExe[] = "sentrova_slow_start.exe";
// Set once the class objects are registered, before the pause.
inline constexpr char kSlowStartRegisteredEvent[] = "SentrovaTest_ClassObjectsRegistered";
// The pause after it: long beside the few milliseconds a client takes to
// call in.
inline constexpr unsigned kSlowStartPauseMs = 4000;

}  // namespace sentrova::test
