#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "branding/translate.h"
#include "monitor/alert_texts.h"
#include "monitor/catalogue.h"
#include "monitor/change_detection.h"

namespace sentrova {
namespace {

std::optional<RawValue> Dword(uint32_t v) { return SettingWriteValue(SettingKind::kPlain, v); }
std::optional<RawValue> Raw(uint32_t type, std::string bytes) { return RawValue{type, bytes}; }

TEST(MonitorValues, RegistryValuesReadAndDescribeByTheEntrysRules) {
  struct Case {
    const char* key;
    int zone;
    std::optional<RawValue> raw;
    std::optional<uint32_t> value;  // nothing: a read failure
    const char* text;               // DescribeValue of the value (or of 99999)
  };
  const Case cases[] = {
      {"M_COOKIE_1", 3, std::nullopt, 0u, "Enable"},
      {"M_COOKIE_1", 1, Dword(1), 1u, "Prompt"},
      {"M_COOKIE_1", 0, Dword(3), 3u, "Disable"},
      {"M_COOKIE_1", 0, Dword(2), 2u, "Unknown"},
      {"M_COOKIE_1", 0, Dword(0xFFFFFFFF), 0xFFFFFFFFu, "Unknown"},
      {"M_COOKIE_1", 2, Raw(reg_type::kString, "3"), std::nullopt, "Unknown"},
      {"M_COOKIE_1", 2, Raw(reg_type::kBinary, std::string("\3\0\0\0", 4)), std::nullopt,
       "Unknown"},
      {"M_UA_LOGON", 2, Dword(0x20000), 0x20000u, "Automatic logon only in the Intranet zone"},
      {"M_UA_LOGON", 2, Dword(0), 0u, "Automatically logon with current username and password"},
      {"M_UA_LOGON", 2, Dword(0x10000), 0x10000u, "Prompt for user name and password"},
      {"M_UA_LOGON", 2, Dword(0x30000), 0x30000u, "Anonymous logon"},
      {"M_UA_LOGON", 2, Dword(1), 1u, "Unknown"},
      {"M_UA_PRIVACY", 3, Dword(1), 1u, "High"},
      {"M_UA_PRIVACY", 3, Dword(3), 3u, "Block All Cookies"},
      {"M_UA_PRIVACY", 3, std::nullopt, 0u, "Accept all Cookies"},
      {"M_JAVA_PERM", 3, Raw(reg_type::kBinary, std::string("\0\0\1\0", 4)), 0x10000u,
       "High safety"},
      {"M_JAVA_PERM", 3, Dword(0x10000), 0x10000u, "High safety"},
      {"M_JAVA_PERM", 3, Raw(reg_type::kBinary, std::string("\0\0\2", 3)), 0x20000u,
       "Medium safety"},
      {"M_JAVA_PERM", 3, Raw(reg_type::kBinary, std::string("\0\0\0\0\0", 5)), std::nullopt,
       "Unknown"},
      {"M_JAVA_PERM", 3, Dword(0x30000), 0x30000u, "Low safety"},
      {"M_JAVA_PERM", 3, Dword(0x800000), 0x800000u, "Custom"},
      {"M_JAVA_PERM", 3, std::nullopt, 0u, "Disable Java"},
      {"M_ADV_DISSCRIPT", 0, Raw(reg_type::kString, std::string("yes\0", 4)), 0u, "Enable"},
      {"M_ADV_DISSCRIPT", 0, Raw(reg_type::kString, "Yes"), 3u, "Disable"},
      {"M_ADV_DISSCRIPT", 0, Raw(reg_type::kString, "no"), 3u, "Disable"},
      {"M_ADV_DISSCRIPT", 0, std::nullopt, 3u, "Disable"},
      {"M_ADV_DISSCRIPT", 0, Dword(0), std::nullopt, "Unknown"},
      {"M_ADV_DISSCRIPT", 2, std::nullopt, 0u, "Enable"},
  };
  for (const Case& c : cases) {
    const auto entry =
        std::find_if(kCatalogue.begin(), kCatalogue.end(),
                     [&](const CatalogueEntry& e) { return c.key == std::string(e.key); });
    ASSERT_NE(entry, kCatalogue.end()) << c.key;
    const std::optional<uint32_t> value = SettingValue(entry->kind, c.zone, c.raw);
    EXPECT_EQ(value, c.value) << c.key << " zone " << c.zone;
    EXPECT_EQ(DescribeValue(entry->valueName, value.value_or(kUnreadableValue)), c.text) << c.key;
  }
}

// A store whose values are set by the test; a missing value cannot be read,
// writes to the refused key fail and those to the ignored key are lost.
struct TableStore final : SettingStore {
  std::map<std::pair<std::string, int>, uint32_t> values;
  std::string refused, ignored;
  std::optional<uint32_t> Read(const TMonitoredSetting& s, int zone) override {
    auto it = values.find({s.key, zone});
    if (it == values.end()) return std::nullopt;
    return it->second;
  }
  bool Write(const TMonitoredSetting& s, int zone, uint32_t value) override {
    if (s.key == refused) return false;
    if (s.key != ignored) values[{s.key, zone}] = value;
    return true;
  }
};

TEST(ChangeDetection, FailuresWhileRestoringAreToldAndLeaveASettledSnapshot) {
  std::vector<TMonitoredSetting> catalogue = BuildCatalogue();
  TableStore store;
  for (const char* key : {"M_COOKIE_1", "M_COOKIE_SES1", "M_COOKIE_3", "M_AX_DOWN_S"})
    for (int zone = 0; zone < kZoneCount; ++zone) store.values[{key, zone}] = 0;
  ReloadSnapshot(catalogue, store, [](std::string_view key) {
    return key.substr(0, 8) == "M_COOKIE" || key == "M_AX_DOWN_S";
  });
  EXPECT_FALSE(catalogue[3].enabled);      // M_COOKIE_SES3 cannot be read: off until a reload
  store.values[{"M_COOKIE_1", 3}] = 3;     // restored
  store.values[{"M_COOKIE_SES1", 3}] = 1;  // its write is refused
  store.values.erase({"M_COOKIE_3", 3});   // unreadable now
  store.values[{"M_AX_DOWN_S", 3}] = 1;    // written, but set back at once
  store.refused = "M_COOKIE_SES1";
  store.ignored = "M_AX_DOWN_S";
  std::vector<TChangeAction> changes;
  CheckZone(3, catalogue, store, changes);
  ASSERT_EQ(changes.size(), 4u);
  EXPECT_EQ(changes[2].newText, "Unknown");
  changes[2].selected = false;  // kept as it is: unreadable
  EXPECT_EQ(ApplyAnswer(true, changes, catalogue, store), (std::vector<size_t>{1, 3}));
  EXPECT_EQ(store.values[std::make_pair(std::string("M_COOKIE_1"), 3)], 0u);
  EXPECT_EQ(catalogue[1].snapshot[3], 1u);  // the values that stayed are accepted
  EXPECT_EQ(catalogue[4].snapshot[3], 1u);
  EXPECT_EQ(catalogue[2].snapshot[3], kUnreadableValue);
  changes.clear();
  CheckZone(3, catalogue, store, changes);
  EXPECT_TRUE(changes.empty());  // nothing is reported again
}

// An "Unknown" change that was accepted leaves the unreadable marker as the
// accepted value; once the setting reads again, restoring a later change
// must not write that marker back.
TEST(ChangeDetection, AnUnreadableOldValueIsNeverWrittenBack) {
  std::vector<TMonitoredSetting> catalogue = BuildCatalogue();
  TableStore store;
  for (int zone = 0; zone < kZoneCount; ++zone) store.values[{"M_COOKIE_1", zone}] = 0;
  ReloadSnapshot(catalogue, store, [](std::string_view key) { return key == "M_COOKIE_1"; });
  std::vector<TChangeAction> changes;
  std::vector<size_t> notUndone;
  for (const std::optional<uint32_t> now : {std::optional<uint32_t>(), std::optional<uint32_t>(1)}) {
    if (now)
      store.values[{"M_COOKIE_1", 3}] = *now;
    else
      store.values.erase({"M_COOKIE_1", 3});
    changes.clear();
    CheckZone(3, catalogue, store, changes);
    ASSERT_EQ(changes.size(), 1u);
    notUndone = ApplyAnswer(now.has_value(), changes, catalogue, store);  // "No", then "Yes"
  }
  EXPECT_EQ(changes[0].oldValue, kUnreadableValue);
  EXPECT_EQ(notUndone, std::vector<size_t>{0});  // the "Yes" could not be carried out
  EXPECT_EQ((store.values[{"M_COOKIE_1", 3}]), 1u);
  EXPECT_EQ(catalogue[0].snapshot[3], 1u);
}

TEST(HomePage, ComparisonDisplayAndDecision) {
  EXPECT_EQ(HomePageComparisonForm(" \t HTTP://Example.ORG/Ä/ \r\n"), "http://example.org/Ä");
  EXPECT_EQ(HomePageComparisonForm("c:\\start\\\\"), "c:\\start\\");
  const std::string sixty(60, 'x');
  EXPECT_EQ(HomePageDisplayForm(sixty), std::string(48, 'x') + "...");
  EXPECT_EQ(HomePageDisplayForm(std::string(50, 'y')), std::string(50, 'y'));

  struct Case {
    const char *home, *previous, *start;
    bool homeSet;
    HomePageAction action;
  };
  const Case cases[] = {
      {"http://a.example/", "", " HTTP://A.example ", false, HomePageAction::kNone},
      {"http://a.example/", "", "", true, HomePageAction::kNone},
      {"", "", "http://b.example/", false, HomePageAction::kNone},
      {"http://a.example/", "", "http://b.example/", true, HomePageAction::kResetSilently},
      {"http://a.example/", "http://c.example", "http://b.example/", false,
       HomePageAction::kAskChanged},
      {"http://a.example/", "http://b.example", "http://B.example/", false,
       HomePageAction::kAskSettings},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DecideHomePage(c.home, c.previous, c.start, c.homeSet), c.action) << c.start;
}

TEST(AlertTexts, MessagesWithTheirSeparatorsAndPlaceholders) {
  BrandValues brand;
  brand.brand = "Brindle";
  const Translator translate = [&](std::string_view t) { return TranslateText(t, brand); };
  EXPECT_EQ(SecurityAlertMessage(translate),
            "Sentrova has detected changes in IE security settings.\n\r\n\rThese changes may be "
            "unauthorized, dangerous and in some cases they can cause a serious damage to your "
            "computer.\n\r\n\rWould you like to restore your original Internet Explorer security "
            "settings?");
  EXPECT_EQ(HomePageMessage(false, "a", "%OLD%", translate),
            "Sentrova has detected Internet Explorer homepage change from \"a\" to \"%OLD%\".\n\r" +
                std::string(86, ' ') +
                "\n\rWould you like to restore your homepage settings to \"a\" ?");
  EXPECT_EQ(HomePageMessage(true, "new", "old", translate),
            "You have just changed homepage to be monitored in Sentrova Settings from \"old\" to "
            "\"new\".\n\r" +
                std::string(73, ' ') + "\n\rDo you want to set \"new\" as your homepage?");
}

}  // namespace
}  // namespace sentrova
