// Facts about the running process and system, computed once when the
// process starts (before any other thread runs) and read-only afterwards.
#pragma once

#include <cstdint>
#include <string>

namespace sentrova {

// The executable's path as the system has it, in wide characters: an
// install folder may hold characters that the ANSI code page lacks.
const std::wstring& ProgramFileNameW();
const std::wstring& ProgramShortPathW();  // its 8.3 form, lower-cased
// The same in the ANSI code page (a character it lacks shows as "?").
const std::string& ProgramFileName();   // full path of the executable
const std::string& ProgramShortPath();  // its 8.3 form, lower-cased
const std::string& ProgramDirectory();  // folder of the executable, trailing backslash
const std::string& WindowsDirectory();  // absolute, trailing backslash
uint8_t OsKind();                       // see os_kind.h
bool IsNtPlatform();
// The start-up's "XP class": NT, major above 4, minor not 0, workstation.
bool IsXpClassSystem();

}  // namespace sentrova
