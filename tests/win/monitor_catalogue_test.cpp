// The monitored settings as the program carries them: the catalogue in its
// order, and the LABELS resource that names them to the user.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "branding/name_value_list.h"
#include "monitor/catalogue.h"
#include "monitor/change_detection.h"
#include "platform/resource_data.h"

namespace sentrova {
namespace {

struct Row {
  const char* key;
  const char* valueName;
  SettingKind kind;
  const char* label;  // null: the setting has no label
};
constexpr SettingKind P = SettingKind::kPlain;
const Row kRows[kCatalogueSize] = {
    {"M_COOKIE_1", "1A02", P, "Write first-party cookies"},
    {"M_COOKIE_SES1", "1A03", P, "Write first-party session cookies"},
    {"M_COOKIE_3", "1A05", P, "Write third-party cookies"},
    {"M_COOKIE_SES3", "1A06", P, "Write third-party session cookies"},
    {"M_AX_DOWN_S", "1001", P, "Download signed ActiveX controls"},
    {"M_AX_DOWN_US", "1004", P, "Download unsigned ActiveX controls"},
    {"M_AX_RUN", "1200", P, "Run ActiveX controls and plug-ins"},
    {"M_AX_INITNS", "1201", P, "Initialize and script ActiveX controls not marked as safe"},
    {"M_AX_SCRIPT", "1405", P, "Script ActiveX controls marked safe for scripting"},
    {"M_SCRIPT_ACTIVE", "1400", P, "Active scripting"},
    {"M_SCRIPT_JAPP", "1402", P, "Scripting of Java applets"},
    {"M_MISC_ACCDATA", "1406", P, "Access data source across domains"},
    {"M_SCRIPT_PASTE", "1407", P, "Allow paste operation via script"},
    {"M_DOWN_FONT", "1604", P, "Font download"},
    {"M_MISC_UD_PERS", "1606", P, "Userdata persistance"},
    {"M_MISC_NAV_FRAME", "1607", P, "Navigate sub-frames across different domains"},
    {"M_MISC_METAREFRESH", "1608", P, "Allow META REFRESH"},
    {"M_MISC_MIX", "1609", P, "Display mixed content"},
    {"M_MISC_INST_DI", "1800", P, "Installation of desktop items"},
    {"M_MISC_DDFILES", "1802", P, "Drag and drop or copy and paste files"},
    {"M_MISC_PROG_IFRAME", "1804", P, "Launch programs and files in an IFRAME"},
    {"M_UA_LOGON", "1A00", P, "Logon"},
    {"M_MISC_CERT", "1A04", P,
     "Don't prompt for client certificate selection when no certificates or only one "
     "certificate exists"},
    {"M_MISC_SCH_PERM", "1E05", P, "Software channel permissions"},
    {"M_NET_SIGN", "2001", P, "Run components signed with Authenticode"},
    {"M_NET_NOTSIGN", "2004", P, "Run components not signed with Authenticode"},
    {"M_DOWN_FILE", "1803", P, "File download"},
    {"M_SCRIPT_WEBOC", "1206", P, nullptr},
    {"M_JAVA_PERM", "1C00", SettingKind::kJava, "Java permissions"},
    {"M_MISC_SUB_NONENC", "1601", P, "Submit nonencrypted form data"},
    {"M_JAVA_RUN", "1605", P, "Run Java"},
    {"M_LAUNCH_WEBVIEW", "1805", P, "Launch applications and other files in webview"},
    {"M_LAUNCH_UNSAFE", "1806", P, "Launch applications and other files"},
    {"M_UA_PRIVACY", "1A10", P, "Privacy Settings"},
    {"M_ADV_DISSCRIPT", "M_ADV_DISSCRIPT", SettingKind::kDebugger, "Disable script debugging"},
};

TEST(Catalogue, EveryRowInItsPlaceAndEveryLabeledRowInLabels) {
  const std::optional<std::string> labels = LoadRcData("LABELS");
  ASSERT_TRUE(labels);
  const std::vector<std::string> lines = NameValueList(*labels).Lines();
  const std::vector<TMonitoredSetting> built = BuildCatalogue();
  ASSERT_EQ(built.size(), std::size(kRows));
  std::vector<std::string> expectedLines;
  for (size_t i = 0; i < std::size(kRows); ++i) {
    const Row& r = kRows[i];
    SCOPED_TRACE(r.key);
    EXPECT_EQ(std::string(kCatalogue[i].key), r.key);
    EXPECT_EQ(std::string(kCatalogue[i].valueName), r.valueName);
    EXPECT_EQ(kCatalogue[i].kind, r.kind);
    EXPECT_EQ(built[i].key, r.key);
    EXPECT_EQ(built[i].valueName, r.valueName);
    EXPECT_EQ(built[i].special, r.kind != P);
    if (r.label) expectedLines.push_back(std::string(r.key) + "=" + r.label);
  }
  EXPECT_EQ(expectedLines.size(), 34u);
  EXPECT_EQ(lines, expectedLines);
}

}  // namespace
}  // namespace sentrova
