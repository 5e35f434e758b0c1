// Brand values against the real registry (a private HKEY_LOCAL_MACHINE) and
// this program's own CONFIG resource.
#include <gtest/gtest.h>

#include <string>

#include "branding/brand_values_win.h"
#include "branding_machine_key.h"

namespace sentrova {
namespace {

using test::PrivateMachineKey;

const char kConfigText[] =
    "AF_ID=1\r\nAPP_ID=BVRX\r\nVRX_ALL=1\r\nSHOW_VRX_BUTTON=1\r\nSHOW_TRAY=0\r\n"
    "BRAND=\r\nBRAND_LONG=\r\nBRAND_CODE=\r\nBRAND_DOMAIN=www.config-test.example\r\n";

// The program's own source, counting how often CONFIG is loaded.
class CountingSource : public RegistryBrandSource {
 public:
  CountingSource() : RegistryBrandSource(::GetModuleHandleA(nullptr)) {}
  std::optional<std::string> LoadConfigText() override {
    ++configLoads;
    return RegistryBrandSource::LoadConfigText();
  }
  int configLoads = 0;
};

class BrandValuesInRegistry : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(machine_.ok()); }
  void StoreAll() {
    machine_.Store("BRAND", "Acme");
    machine_.Store("BRAND_LONG", "Acme-Tools.net");
    machine_.Store("BRAND_CODE", "AC");
    machine_.Store("BRAND_DOMAIN", "www.acme-tools.net");
    machine_.Store("BRAND_FOLDER", "AcmeFolder");
  }
  PrivateMachineKey machine_;
};

TEST(ConfigResource, IsReadUpToItsFirstNul) {
  const std::optional<std::string> text = LoadConfigResourceText(::GetModuleHandleA(nullptr));
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(*text, kConfigText);
  EXPECT_EQ(LoadConfigResourceText(::GetModuleHandleA("kernel32.dll")), std::nullopt);
}

TEST_F(BrandValuesInRegistry, FirstRunWritesTheFiveValuesAndTheNextRunReadsThem) {
  ASSERT_EQ(machine_.Stored("BRAND"), "<absent>");
  CountingSource first;
  BrandValues v;
  ResolveBrandValues(first, v);
  EXPECT_EQ(first.configLoads, 1);
  EXPECT_EQ(v.brand, "Brindle");
  EXPECT_EQ(v.brandLong, std::string(kDefaultBrandLong));
  EXPECT_EQ(v.brandCode, "");
  EXPECT_EQ(v.brandDomain, "www.config-test.example");
  EXPECT_EQ(v.brandFolder, "Brindle");
  EXPECT_EQ(machine_.Stored("BRAND"), "Brindle");
  EXPECT_EQ(machine_.Stored("BRAND_LONG"), std::string(kDefaultBrandLong));
  EXPECT_EQ(machine_.Stored("BRAND_CODE"), "");
  EXPECT_EQ(machine_.Stored("BRAND_DOMAIN"), "www.config-test.example");
  EXPECT_EQ(machine_.Stored("BRAND_FOLDER"), "");
  // Written as REG_SZ.
  DWORD type = 0;
  ASSERT_EQ(::RegGetValueA(HKEY_CURRENT_USER, machine_.QuillboxKey().c_str(), "BRAND",
                           RRF_RT_ANY, &type, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));

  CountingSource second;
  BrandValues w;
  ResolveBrandValues(second, w);
  EXPECT_EQ(second.configLoads, 0);
  EXPECT_EQ(w.brand, "Brindle");
  EXPECT_EQ(w.brandDomain, "www.config-test.example");
  EXPECT_EQ(w.brandFolder, "");  // blank in the registry, no fallback
}

TEST_F(BrandValuesInRegistry, BlankValueGivesTheDefaultAndStaysBlank) {
  StoreAll();
  machine_.Store("BRAND", "  \t ");
  machine_.Store("BRAND_DOMAIN", "");
  CountingSource source;
  BrandValues v;
  ResolveBrandValues(source, v);
  EXPECT_EQ(source.configLoads, 0);
  EXPECT_EQ(v.brand, "Brindle");
  EXPECT_EQ(v.brandDomain, std::string(kDefaultBrandDomain));
  EXPECT_EQ(v.brandLong, "Acme-Tools.net");
  EXPECT_EQ(machine_.Stored("BRAND"), "  \t ");
  EXPECT_EQ(machine_.Stored("BRAND_DOMAIN"), "");
}

TEST_F(BrandValuesInRegistry, AbsentMarkIsOverwritten) {
  StoreAll();
  machine_.Store("BRAND_DOMAIN", "#$%");
  machine_.Store("BRAND_CODE", "#$%");
  CountingSource source;
  BrandValues v;
  ResolveBrandValues(source, v);
  EXPECT_EQ(source.configLoads, 1);
  EXPECT_EQ(v.brandDomain, "www.config-test.example");
  EXPECT_EQ(machine_.Stored("BRAND_DOMAIN"), "www.config-test.example");
  EXPECT_EQ(v.brandCode, "");  // the CONFIG line is empty: the default stands
  EXPECT_EQ(machine_.Stored("BRAND_CODE"), "");
  EXPECT_EQ(v.brandFolder, "AcmeFolder");
}

TEST_F(BrandValuesInRegistry, LongValueIsCutInMemoryOnly) {
  StoreAll();
  const std::string longValue = std::string(150, 'a') + std::string(150, 'b');
  machine_.Store("BRAND_LONG", longValue);
  CountingSource source;
  BrandValues v;
  ResolveBrandValues(source, v);
  EXPECT_EQ(v.brandLong, longValue.substr(0, 255));
  EXPECT_EQ(machine_.Stored("BRAND_LONG"), longValue);
  EXPECT_EQ(source.configLoads, 0);
}

}  // namespace
}  // namespace sentrova
