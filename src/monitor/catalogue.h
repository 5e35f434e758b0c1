// The monitored security settings of the browser: the fixed catalogue of 35
// entries, how a setting's value is taken from a registry value, how it is
// written back and how a value is described to the user. Platform-free: the
// Win32 side hands over the registry value as read (type and bytes).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sentrova {

// Plain: an integer value in each zone key. Java: the Java-permissions rule
// (4 binary bytes or an integer). Debugger: the browser's "Disable Script
// Debugger" text, zone 0 only.
enum class SettingKind { kPlain, kJava, kDebugger };

struct CatalogueEntry {
  const char* key;        // configuration key (M_...), also the LABELS key
  const char* valueName;  // value name inside the zone keys
  SettingKind kind;
};

inline constexpr int kZoneCount = 5;  // 0 local machine .. 4 restricted sites
inline constexpr int kCatalogueSize = 35;
extern const std::array<CatalogueEntry, kCatalogueSize> kCatalogue;

// The value a change carries when the setting could not be read.
inline constexpr uint32_t kUnreadableValue = 99999;

// Registry locations below HKEY_CURRENT_USER.
std::string ZoneKeyPath(int zone);
inline constexpr char kBrowserMainKeyPath[] = "Software\\Microsoft\\Internet Explorer\\Main";
inline constexpr char kDebuggerValueName[] = "Disable Script Debugger";
inline constexpr char kStartPageValueName[] = "Start Page";

// Registry value types as the platform numbers them.
namespace reg_type {
inline constexpr uint32_t kString = 1;
inline constexpr uint32_t kExpandString = 2;
inline constexpr uint32_t kBinary = 3;
inline constexpr uint32_t kDword = 4;
}  // namespace reg_type

// A registry value as read: its type and its bytes.
struct RawValue {
  uint32_t type = 0;
  std::string bytes;
};

// The setting's value in one zone from the registry value found there
// (nothing: the value does not exist). A missing value reads 0 (the debugger
// rule: 3). Nothing when the value cannot be read by the kind's rule: a
// plain entry takes only a 4-byte integer; the Java entry also binary bytes,
// at most 4, little-endian; the debugger entry only a text. In zones 1..4 the
// debugger entry is 0 and never read.
std::optional<uint32_t> SettingValue(SettingKind kind, int zone,
                                     const std::optional<RawValue>& raw);

// What restoring `value` writes: an integer for plain and Java entries
// (whatever the type was before), "yes" (0) or "no" for the debugger entry.
RawValue SettingWriteValue(SettingKind kind, uint32_t value);

// The user's text for a value, chosen by the entry's value name.
std::string DescribeValue(std::string_view valueName, uint32_t value);

}  // namespace sentrova
