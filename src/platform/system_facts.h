// Facts about the running process and system, computed once when the
// process starts (before any other thread runs) and read-only afterwards.
#pragma once

#include <cstdint>
#include <string>

namespace sentrova {

const std::string& ProgramFileName();   // full path of the executable
const std::string& ProgramShortPath();  // its 8.3 form, ASCII lower-cased
const std::string& ProgramDirectory();  // folder of the executable, trailing backslash
const std::string& WindowsDirectory();  // absolute, trailing backslash
uint8_t OsKind();                       // see os_kind.h
bool IsNtPlatform();
// The start-up's "XP class": NT, major above 4, minor not 0, workstation.
bool IsXpClassSystem();

}  // namespace sentrova
