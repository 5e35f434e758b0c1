// Registry helpers. Every helper normalises the key path first, opens and
// closes its own key handle (safe from any thread) and never fails loudly:
// reads return the default, failed writes leave the registry as it was.
//
// `view` selects the registry view of a 64-bit system: 0 for the program's
// own, KEY_WOW64_32KEY for the one that 32-bit programs see (on a 32-bit
// system that is the only view, and the flag changes nothing).
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/reg_path.h"

namespace sentrova {

// The text of a value up to its first NUL, whatever its type; `def` when the
// key or value is missing or cannot be read.
std::string ReadRegString(HKEY root, std::string_view keyPath, std::string_view valueName,
                          std::string_view def, REGSAM view = 0);

// Writes a REG_SZ value. An empty value name writes the key's unnamed default
// value. With createKey false a missing key is left missing and nothing is written.
void WriteRegString(HKEY root, std::string_view keyPath, std::string_view valueName,
                    bool createKey, std::string_view text, REGSAM view = 0);

// A REG_DWORD (or big-endian DWORD, bytes as stored) value, or a text value
// holding a decimal number; `def` otherwise.
int32_t ReadRegInteger(HKEY root, std::string_view keyPath, std::string_view valueName,
                       int32_t def, REGSAM view = 0);

// Writes an 8-byte REG_BINARY value holding the little-endian IEEE double.
void WriteRegFloat(HKEY root, std::string_view keyPath, std::string_view valueName,
                   bool createKey, double value);

// One query of one value, with RegQueryValueExA's contract: `size` holds the
// buffer's size going in and the value's size coming out.
using ValueQuery = std::function<LONG(DWORD* type, BYTE* data, DWORD* size)>;

// The query of `name` under an open key.
ValueQuery QueryOf(HKEY key, std::string name);

// Reads a value's raw bytes through `query`: first into a buffer of 500
// bytes, then, when the value is larger, into one of the size the system
// reports. The value may grow between two queries, so a few rounds are
// allowed, each at the size last reported. On success `data` holds exactly
// the bytes read. Returns the status of the last query (ERROR_MORE_DATA when
// the value kept growing).
LONG QueryValueBytes(const ValueQuery& query, std::vector<char>& data, DWORD& type);

// Deletes the key with every subkey below it; a missing key is no error.
void DeleteRegKey(HKEY root, std::string_view keyPath, REGSAM view = 0);

}  // namespace sentrova
