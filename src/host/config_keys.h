// The configuration keys that the program keeps in the toolbar host's store
// (namespace "VRX"), with the call defaults the program passes when it reads
// them. The stored defaults come from the DEFSET and CONFIG resources.
#pragma once

namespace sentrova::config_keys {

inline constexpr char kVrxAll[] = "VRX_ALL";                  // bool
inline constexpr char kShowVrxButton[] = "SHOW_VRX_BUTTON";   // integer 0..3
inline constexpr char kShowTray[] = "SHOW_TRAY";              // bool
inline constexpr char kRunAuto[] = "RUN_AUTO";                // bool
inline constexpr char kRunDelay[] = "RUN_DELAY";              // text, whole number
inline constexpr char kRunPeriod[] = "RUN_PERIOD";            // text "m", "h" or "d"
inline constexpr char kLastScan[] = "LAST_SCAN";              // date-time
inline constexpr char kRunEndIe[] = "RUN_ENDIE";              // bool
inline constexpr char kHomeMon[] = "HOME_MON";                // bool
inline constexpr char kHomeSet[] = "HOME_SET";                // bool
inline constexpr char kHomeUrl[] = "HOME_URL";                // text
inline constexpr char kUserCookies[] = "UserCookies";         // text
inline constexpr char kShowCleanCloseIe[] = "SHOW_CLEAN_CLOSEIE";
inline constexpr char kShowCleanSchedule[] = "SHOW_CLEAN_SCHEDULE";

// The clean-up items, read with call default -1 (selected when not stored).
inline constexpr const char* kCleanUpItems[] = {
    "IE_BAR",  "IE_HIST",  "IE_TEMP", "IE_FILLFORM", "IE_FILLPASS", "IE_COOKIES",
    "WIN_DOC", "WIN_DOWN", "WIN_RUN", "WIN_SEARCH",  "WIN_RECYCLE", "WIN_TEMP",
};

// The 35 monitoring switches, in the order of the DEFSET resource.
inline constexpr const char* kMonitorKeys[] = {
    "M_COOKIE_1",       "M_COOKIE_3",         "M_COOKIE_SES1",    "M_COOKIE_SES3",
    "M_COOKIE_SITE",    "M_ADV_DISSCRIPT",    "M_AX_DOWN_S",      "M_AX_DOWN_US",
    "M_AX_INITNS",      "M_AX_RUN",           "M_AX_SCRIPT",      "M_DOWN_FILE",
    "M_DOWN_FONT",      "M_LAUNCH_WEBVIEW",   "M_LAUNCH_UNSAFE",  "M_JAVA_PERM",
    "M_JAVA_RUN",       "M_MISC_ACCDATA",     "M_MISC_METAREFRESH", "M_MISC_MIX",
    "M_MISC_CERT",      "M_MISC_DDFILES",     "M_MISC_INST_DI",   "M_MISC_PROG_IFRAME",
    "M_MISC_NAV_FRAME", "M_MISC_SCH_PERM",    "M_MISC_SUB_NONENC", "M_MISC_UD_PERS",
    "M_SCRIPT_ACTIVE",  "M_SCRIPT_PASTE",     "M_SCRIPT_JAPP",    "M_UA_LOGON",
    "M_UA_PRIVACY",     "M_NET_NOTSIGN",      "M_NET_SIGN",
};

// Call defaults.
inline constexpr long kReadTrue = -1;
inline constexpr long kReadFalse = 0;

}  // namespace sentrova::config_keys
