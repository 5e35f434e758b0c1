#include "monitor/catalogue.h"

namespace sentrova {

// The order is the order in which changes are found and listed.
const std::array<CatalogueEntry, kCatalogueSize> kCatalogue{{
    {"M_COOKIE_1", "1A02", SettingKind::kPlain},
    {"M_COOKIE_SES1", "1A03", SettingKind::kPlain},
    {"M_COOKIE_3", "1A05", SettingKind::kPlain},
    {"M_COOKIE_SES3", "1A06", SettingKind::kPlain},
    {"M_AX_DOWN_S", "1001", SettingKind::kPlain},
    {"M_AX_DOWN_US", "1004", SettingKind::kPlain},
    {"M_AX_RUN", "1200", SettingKind::kPlain},
    {"M_AX_INITNS", "1201", SettingKind::kPlain},
    {"M_AX_SCRIPT", "1405", SettingKind::kPlain},
    {"M_SCRIPT_ACTIVE", "1400", SettingKind::kPlain},
    {"M_SCRIPT_JAPP", "1402", SettingKind::kPlain},
    {"M_MISC_ACCDATA", "1406", SettingKind::kPlain},
    {"M_SCRIPT_PASTE", "1407", SettingKind::kPlain},
    {"M_DOWN_FONT", "1604", SettingKind::kPlain},
    {"M_MISC_UD_PERS", "1606", SettingKind::kPlain},
    {"M_MISC_NAV_FRAME", "1607", SettingKind::kPlain},
    {"M_MISC_METAREFRESH", "1608", SettingKind::kPlain},
    {"M_MISC_MIX", "1609", SettingKind::kPlain},
    {"M_MISC_INST_DI", "1800", SettingKind::kPlain},
    {"M_MISC_DDFILES", "1802", SettingKind::kPlain},
    {"M_MISC_PROG_IFRAME", "1804", SettingKind::kPlain},
    {"M_UA_LOGON", "1A00", SettingKind::kPlain},
    {"M_MISC_CERT", "1A04", SettingKind::kPlain},
    {"M_MISC_SCH_PERM", "1E05", SettingKind::kPlain},
    {"M_NET_SIGN", "2001", SettingKind::kPlain},
    {"M_NET_NOTSIGN", "2004", SettingKind::kPlain},
    {"M_DOWN_FILE", "1803", SettingKind::kPlain},
    {"M_SCRIPT_WEBOC", "1206", SettingKind::kPlain},
    {"M_JAVA_PERM", "1C00", SettingKind::kJava},
    {"M_MISC_SUB_NONENC", "1601", SettingKind::kPlain},
    {"M_JAVA_RUN", "1605", SettingKind::kPlain},
    {"M_LAUNCH_WEBVIEW", "1805", SettingKind::kPlain},
    {"M_LAUNCH_UNSAFE", "1806", SettingKind::kPlain},
    {"M_UA_PRIVACY", "1A10", SettingKind::kPlain},
    {"M_ADV_DISSCRIPT", "M_ADV_DISSCRIPT", SettingKind::kDebugger},
}};

std::string ZoneKeyPath(int zone) {
  return "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\" +
         std::to_string(zone);
}

namespace {

uint32_t LittleEndian(std::string_view bytes) {
  uint32_t value = 0;
  for (size_t i = 0; i < bytes.size() && i < 4; ++i)
    value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
  return value;
}

std::optional<uint32_t> DwordOf(const RawValue& raw) {
  if (raw.type != reg_type::kDword || raw.bytes.size() != 4) return std::nullopt;
  return LittleEndian(raw.bytes);
}

struct Description {
  uint32_t value;
  const char* text;
};

template <size_t N>
std::string Describe(const Description (&table)[N], uint32_t value) {
  for (const Description& d : table)
    if (d.value == value) return d.text;
  return "Unknown";
}

constexpr Description kLogon[] = {
    {0, "Automatically logon with current username and password"},
    {0x10000, "Prompt for user name and password"},
    {0x20000, "Automatic logon only in the Intranet zone"},
    {0x30000, "Anonymous logon"},
};
constexpr Description kPrivacy[] = {
    {0, "Accept all Cookies"}, {1, "High"}, {3, "Block All Cookies"}};
constexpr Description kJava[] = {
    {0, "Disable Java"},     {0x10000, "High safety"}, {0x20000, "Medium safety"},
    {0x30000, "Low safety"}, {0x800000, "Custom"},
};
constexpr Description kCommon[] = {{0, "Enable"}, {1, "Prompt"}, {3, "Disable"}};

}  // namespace

std::optional<uint32_t> SettingValue(SettingKind kind, int zone,
                                     const std::optional<RawValue>& raw) {
  switch (kind) {
    case SettingKind::kPlain:
      if (!raw) return 0;
      return DwordOf(*raw);
    case SettingKind::kJava:
      if (!raw) return 0;
      if (raw->type == reg_type::kBinary) {
        if (raw->bytes.size() > 4) return std::nullopt;
        return LittleEndian(raw->bytes);
      }
      return DwordOf(*raw);
    case SettingKind::kDebugger: {
      if (zone != 0) return 0;
      if (!raw) return 3;
      if (raw->type != reg_type::kString && raw->type != reg_type::kExpandString)
        return std::nullopt;
      const std::string_view text(raw->bytes.data(), raw->bytes.find('\0') == std::string::npos
                                                         ? raw->bytes.size()
                                                         : raw->bytes.find('\0'));
      return text == "yes" ? 0u : 3u;
    }
  }
  return std::nullopt;
}

RawValue SettingWriteValue(SettingKind kind, uint32_t value) {
  if (kind == SettingKind::kDebugger) return RawValue{reg_type::kString, value == 0 ? "yes" : "no"};
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  return RawValue{reg_type::kDword, bytes};
}

std::string DescribeValue(std::string_view valueName, uint32_t value) {
  if (valueName == "1A00") return Describe(kLogon, value);
  if (valueName == "1A10") return Describe(kPrivacy, value);
  if (valueName == "1C00") return Describe(kJava, value);
  return Describe(kCommon, value);
}

}  // namespace sentrova
