// Entry point of sentrova.exe.
#include <windows.h>

#include "app/startup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  return sentrova::RunProgram(commandLine != nullptr ? commandLine : "");
}
