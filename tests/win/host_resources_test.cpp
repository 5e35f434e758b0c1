// The defaults texts that sentrova.exe carries (DEFSET, CONFIG, LABELS) and
// the defaults text that start-up builds from them.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "host/config_keys.h"
#include "host/resource_text.h"
#include "win/host_test_support.h"

namespace sentrova {
namespace {

class ProgramResources : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = ::LoadLibraryExA(test::SentrovaExe().c_str(), nullptr,
                               LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module_, nullptr);
  }
  void TearDown() override {
    if (module_) ::FreeLibrary(module_);
  }
  std::string Bytes(const char* name) {
    HRSRC info = ::FindResourceA(module_, name, MAKEINTRESOURCEA(10));
    if (!info) return {};
    HGLOBAL h = ::LoadResource(module_, info);
    const char* p = static_cast<const char*>(::LockResource(h));
    return p ? std::string(p, ::SizeofResource(module_, info)) : std::string();
  }
  HMODULE module_ = nullptr;
};

// Every line must end with CR LF, and the text with the given NULs.
void ExpectCrLfText(const std::string& bytes, const std::string& ending) {
  ASSERT_GE(bytes.size(), ending.size() + 2);
  EXPECT_EQ(bytes.substr(bytes.size() - ending.size()), ending);
  const std::string text = bytes.substr(0, bytes.size() - ending.size());
  EXPECT_EQ(text.find('\0'), std::string::npos);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') EXPECT_TRUE(i > 0 && text[i - 1] == '\r') << "bare LF at " << i;
    if (text[i] == '\r') EXPECT_TRUE(i + 1 < text.size() && text[i + 1] == '\n') << "bare CR at " << i;
  }
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
}

TEST_F(ProgramResources, DefsetListsEveryDefaultInItsGroups) {
  const std::string bytes = Bytes("DEFSET");
  ExpectCrLfText(bytes, std::string(1, '\0'));
  std::vector<std::string> expected = {"RUN_AUTO=0", "RUN_DELAY=30", "RUN_PERIOD=m", "RUN_ENDIE=0",
                                       "",           "HOME_MON=1",   "HOME_SET=0",   ""};
  for (const char* k : {"IE_BAR", "IE_HIST", "IE_TEMP", "IE_FILLFORM", "IE_FILLPASS", "IE_COOKIES"}) {
    expected.push_back(std::string(k) + "=0");
  }
  expected.push_back("");
  for (const char* k : {"WIN_DOC", "WIN_DOWN", "WIN_RUN", "WIN_SEARCH", "WIN_RECYCLE"}) {
    expected.push_back(std::string(k) + "=0");
  }
  expected.push_back("WIN_TEMP=1");
  expected.push_back("");
  // The monitoring switches, with an empty line before each new group.
  const std::vector<std::string> groupStarts = {"M_ADV_DISSCRIPT", "M_AX_DOWN_S",    "M_DOWN_FILE",
                                                "M_JAVA_PERM",     "M_MISC_ACCDATA", "M_SCRIPT_ACTIVE",
                                                "M_UA_LOGON",      "M_NET_NOTSIGN"};
  for (const char* k : config_keys::kMonitorKeys) {
    for (const std::string& g : groupStarts) {
      if (g == k) expected.push_back("");
    }
    expected.push_back(std::string(k) + "=1");
  }
  EXPECT_EQ(ResourceLines(bytes), expected);
}

TEST_F(ProgramResources, ConfigHoldsHostValuesAddressesAndBrandWithTwoNulEnds) {
  const std::string bytes = Bytes("CONFIG");
  ExpectCrLfText(bytes, std::string(2, '\0'));
  const std::vector<std::string> lines = ResourceLines(bytes);
  std::vector<std::string> names;
  for (const std::string& line : lines) names.push_back(line.substr(0, line.find('=')));
  EXPECT_EQ(names, (std::vector<std::string>{"AF_ID", "APP_ID", "VRX_ALL", "SHOW_VRX_BUTTON",
                                              "SHOW_TRAY", "HELP_URL", "ABOUT_URL", "SETTINGS_HELP",
                                              "BRAND", "BRAND_LONG", "BRAND_CODE", "BRAND_DOMAIN"}));
  EXPECT_EQ(lines[0], "AF_ID=1");
  EXPECT_EQ(lines[1], "APP_ID=BVRX");
  EXPECT_EQ(lines[2], "VRX_ALL=1");
  EXPECT_EQ(lines[3], "SHOW_VRX_BUTTON=1");
  EXPECT_EQ(lines[4], "SHOW_TRAY=0");
  for (int i = 5; i <= 7; ++i) EXPECT_EQ(lines[i].find("https://"), lines[i].find('=') + 1) << lines[i];
  EXPECT_EQ(lines[7].substr(lines[7].size() - 2), "i=");
  EXPECT_EQ(lines[8], "BRAND=");
  EXPECT_EQ(lines[9], "BRAND_LONG=");
  EXPECT_EQ(lines[10], "BRAND_CODE=");
  EXPECT_GT(lines[11].size(), std::string("BRAND_DOMAIN=").size());
}

TEST_F(ProgramResources, LabelsHaveOneLinePerShownSetting) {
  const std::string bytes = Bytes("LABELS");
  ExpectCrLfText(bytes, std::string(1, '\0'));
  const std::vector<std::string> lines = ResourceLines(bytes);
  ASSERT_EQ(lines.size(), 34u);
  for (const std::string& line : lines) {
    ASSERT_FALSE(line.empty());
    EXPECT_EQ(line.rfind("M_", 0), 0u) << line;
    EXPECT_NE(line.find('='), std::string::npos) << line;
  }
  EXPECT_EQ(FindResourceValue(lines, "M_SCRIPT_WEBOC"), std::nullopt);
  EXPECT_EQ(FindResourceValue(lines, "M_COOKIE_SITE"), std::nullopt);
  EXPECT_EQ(FindResourceValue(lines, "M_MISC_UD_PERS"), "Userdata persistance");
  EXPECT_EQ(FindResourceValue(lines, "M_ADV_DISSCRIPT"), "Disable script debugging");
}

TEST_F(ProgramResources, DefaultsTextJoinsDefsetAndConfig) {
  std::string text;
  AppendDefaultsPart(text, ResourceLines(Bytes("DEFSET")));
  AppendDefaultsPart(text, ResourceLines(Bytes("CONFIG")));
  EXPECT_EQ(text.rfind("RUN_AUTO=0\r\n", 0), 0u);
  EXPECT_NE(text.find("\r\nM_NET_SIGN=1\r\n\r\nAF_ID=1\r\n"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 4), "\r\n\r\n");
  EXPECT_EQ(text.find("\r\n\r\n\r\n"), std::string::npos);
  ConfigAddresses a = DefaultConfigAddresses();
  ApplyConfigLines(ResourceLines(Bytes("CONFIG")), a);
  EXPECT_FALSE(a.trayDefault);
  EXPECT_NE(a.helpUrl, "");
}

}  // namespace
}  // namespace sentrova
