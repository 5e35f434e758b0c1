// Entry point of sentrova.exe.
#include <windows.h>

#include "platform/system_facts.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // The start-up sequence is built up on these facts; touching them here
  // makes sure they are computed before anything else runs.
  (void)sentrova::ProgramFileName();
  return 0;
}
