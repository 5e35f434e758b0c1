#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <vector>

#include "branding/brand_values.h"
#include "branding/name_value_list.h"

namespace sentrova {
namespace {

// A registry key held in memory and a CONFIG text, recording what the
// resolution does with them.
class FakeBrandSource : public BrandSource {
 public:
  std::map<std::string, std::string> registry;
  std::optional<std::string> config;
  std::vector<std::string> reads;
  std::vector<std::pair<std::string, std::string>> writes;
  int configLoads = 0;
  std::string throwOnRead;  // a value name whose read fails

  std::string ReadValue(std::string_view name, std::string_view absentDefault) override {
    reads.emplace_back(name);
    if (name == throwOnRead) throw std::runtime_error("read failed");
    auto it = registry.find(std::string(name));
    return it == registry.end() ? std::string(absentDefault) : it->second;
  }
  void WriteValue(std::string_view name, std::string_view value) override {
    writes.emplace_back(std::string(name), std::string(value));
    registry[std::string(name)] = std::string(value);
  }
  std::optional<std::string> LoadConfigText() override {
    ++configLoads;
    return config;
  }
};

// The product's CONFIG as shipped: empty brand lines, the maker's host name.
const char kShippedConfig[] =
    "AF_ID=1\r\nAPP_ID=BVRX\r\nVRX_ALL=1\r\nSHOW_VRX_BUTTON=1\r\nSHOW_TRAY=0\r\n"
    "HELP_URL=http://www.brindle-soft.com/help\r\nBRAND=\r\nBRAND_LONG=\r\nBRAND_CODE=\r\n"
    "BRAND_DOMAIN=brindle-soft.com\r\n";

void FillAll(FakeBrandSource& s) {
  s.registry = {{"BRAND", "Acme"},
                {"BRAND_LONG", "Acme-Tools.net"},
                {"BRAND_CODE", "AC"},
                {"BRAND_DOMAIN", "www.acme-tools.net"},
                {"BRAND_FOLDER", "AcmeFolder"}};
}

TEST(NameValueList, FindsTheFirstMatchingNameInAnyCase) {
  const NameValueList list("A=1\r\nname=first\r\n\r\nNAME=second\r\nB=x=y\r\nNoEquals\r\n");
  EXPECT_EQ(list.Find("NAME"), "first");
  EXPECT_EQ(list.Find("b"), "x=y");  // the value runs to the end of the line
  EXPECT_EQ(list.Find("NoEquals"), std::nullopt);
  EXPECT_EQ(list.Find(""), std::nullopt);
  EXPECT_EQ(list.Find("NAM"), std::nullopt);
  EXPECT_EQ(list.Value("missing"), "");
  EXPECT_EQ(list.Lines().size(), 6u);
}

TEST(NameValueList, KeepsValuesUntrimmedAndStopsAtNul) {
  const std::string text("K= v \r\nL=\r\nM=1\0N=2\r\n", 20);
  const NameValueList list(text);
  EXPECT_EQ(list.Find("K"), " v ");
  EXPECT_EQ(list.Find("L"), "");
  EXPECT_EQ(list.Find("M"), "1");
  EXPECT_EQ(list.Find("N"), std::nullopt);
  EXPECT_EQ(list.Find(" K"), std::nullopt);
  // Lines may end in LF alone, and the last one needs no line break.
  EXPECT_EQ(NameValueList("X=1\nY=2").Find("y"), "2");
}

TEST(ResolveBrandValues, FirstRunWritesEveryValueAndFallsBackForTheFolder) {
  FakeBrandSource s;
  s.config = kShippedConfig;
  BrandValues v;
  ResolveBrandValues(s, v);
  EXPECT_EQ(v.brand, "Brindle");
  EXPECT_EQ(v.brandLong, std::string(kDefaultBrandLong));
  EXPECT_EQ(v.brandCode, "");
  EXPECT_EQ(v.brandDomain, "brindle-soft.com");
  EXPECT_EQ(v.brandFolder, "Brindle");  // copied from BRAND, in memory only
  EXPECT_EQ(s.configLoads, 1);
  // The defaults first, in order; then the domain again from CONFIG.
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"BRAND", "Brindle"},
      {"BRAND_LONG", std::string(kDefaultBrandLong)},
      {"BRAND_CODE", ""},
      {"BRAND_DOMAIN", std::string(kDefaultBrandDomain)},
      {"BRAND_FOLDER", ""},
      {"BRAND_DOMAIN", "brindle-soft.com"}};
  EXPECT_EQ(s.writes, expected);
  EXPECT_EQ(s.registry["BRAND_FOLDER"], "");
  EXPECT_EQ(s.reads, (std::vector<std::string>{"BRAND", "BRAND_LONG", "BRAND_CODE",
                                               "BRAND_DOMAIN", "BRAND_FOLDER"}));
}

TEST(ResolveBrandValues, SecondRunReadsTheStoredValuesWithoutConfig) {
  FakeBrandSource s;
  s.config = kShippedConfig;
  BrandValues first;
  ResolveBrandValues(s, first);
  s.writes.clear();
  s.configLoads = 0;
  BrandValues second;
  ResolveBrandValues(s, second);
  EXPECT_EQ(s.configLoads, 0);
  EXPECT_TRUE(s.writes.empty());
  EXPECT_EQ(second.brand, "Brindle");
  EXPECT_EQ(second.brandDomain, "brindle-soft.com");
  // Blank in the registry: its empty default, no fallback to BRAND now.
  EXPECT_EQ(second.brandFolder, "");
}

TEST(ResolveBrandValues, StoredValuesWinTrimmedAndCut) {
  FakeBrandSource s;
  FillAll(s);
  s.registry["BRAND"] = " \tAcme\r\n";
  s.registry["BRAND_LONG"] = std::string(300, 'L');
  s.config = "BRAND=Other\r\nBRAND_FOLDER=Other\r\n";
  BrandValues v;
  ResolveBrandValues(s, v);
  EXPECT_EQ(v.brand, "Acme");
  EXPECT_EQ(v.brandLong, std::string(255, 'L'));
  EXPECT_EQ(v.brandCode, "AC");
  EXPECT_EQ(v.brandDomain, "www.acme-tools.net");
  EXPECT_EQ(v.brandFolder, "AcmeFolder");
  EXPECT_EQ(s.configLoads, 0);
  EXPECT_TRUE(s.writes.empty());
  EXPECT_EQ(s.registry["BRAND_LONG"].size(), 300u);  // the registry keeps it whole
}

TEST(ResolveBrandValues, BlankStoredValueGivesTheDefaultWithoutWriting) {
  FakeBrandSource s;
  FillAll(s);
  s.registry["BRAND"] = "   ";
  s.registry["BRAND_DOMAIN"] = "";
  s.registry["BRAND_FOLDER"] = " ";
  s.config = "BRAND=Other\r\nBRAND_DOMAIN=other.example\r\n";
  BrandValues v;
  ResolveBrandValues(s, v);
  EXPECT_EQ(v.brand, "Brindle");
  EXPECT_EQ(v.brandDomain, std::string(kDefaultBrandDomain));
  EXPECT_EQ(v.brandFolder, "");
  EXPECT_EQ(s.configLoads, 0);
  EXPECT_TRUE(s.writes.empty());
  EXPECT_EQ(s.registry["BRAND"], "   ");
}

TEST(ResolveBrandValues, AbsentMarkCountsAsAbsent) {
  FakeBrandSource s;
  FillAll(s);
  s.registry["BRAND_CODE"] = "#$%";
  s.registry["BRAND_LONG"] = " #$% ";  // trimmed before the comparison
  s.config = "BRAND_CODE=ZX\r\n";
  BrandValues v;
  ResolveBrandValues(s, v);
  EXPECT_EQ(v.brandCode, "ZX");
  EXPECT_EQ(v.brandLong, std::string(kDefaultBrandLong));
  EXPECT_EQ(s.registry["BRAND_CODE"], "ZX");
  EXPECT_EQ(s.registry["BRAND_LONG"], std::string(kDefaultBrandLong));
  EXPECT_EQ(v.brandFolder, "AcmeFolder");
  // The comparison is exact: other texts are ordinary values.
  FakeBrandSource t;
  FillAll(t);
  t.registry["BRAND"] = "#$%%";
  t.registry["BRAND_CODE"] = "#$";
  BrandValues w;
  ResolveBrandValues(t, w);
  EXPECT_EQ(w.brand, "#$%%");
  EXPECT_EQ(w.brandCode, "#$");
  EXPECT_EQ(t.configLoads, 0);
}

TEST(ResolveBrandValues, ConfigEntriesReplaceTheDefaultsOfAbsentValuesOnly) {
  FakeBrandSource s;
  s.registry = {{"BRAND", "Acme"}, {"BRAND_CODE", "   "}};
  s.config =
      "brand=Ignored\r\nBRAND_LONG=\r\nbrand_code=Ignored\r\nBrand_Domain= host.example \r\n"
      "BRAND_FOLDER=" +
      std::string(300, 'F') + "\r\nBRAND_LONG=Second\r\n";
  BrandValues v;
  ResolveBrandValues(s, v);
  EXPECT_EQ(v.brand, "Acme");
  EXPECT_EQ(v.brandLong, std::string(kDefaultBrandLong));  // empty first entry: default
  EXPECT_EQ(v.brandCode, "");
  EXPECT_EQ(v.brandDomain, " host.example ");  // entry values are untrimmed
  EXPECT_EQ(v.brandFolder, std::string(255, 'F'));
  EXPECT_EQ(s.registry["BRAND_FOLDER"], std::string(255, 'F'));
  EXPECT_EQ(s.registry.count("BRAND_CODE"), 1u);
  EXPECT_EQ(s.registry["BRAND_CODE"], "   ");
  // The CONFIG pass takes the domain before the code and the folder.
  ASSERT_GE(s.writes.size(), 2u);
  EXPECT_EQ(s.writes[s.writes.size() - 2].first, "BRAND_DOMAIN");
  EXPECT_EQ(s.writes.back().first, "BRAND_FOLDER");
}

TEST(ResolveBrandValues, ConfigPassWritesDomainBeforeCode) {
  FakeBrandSource s;
  s.config = "BRAND_CODE=C1\r\nBRAND_DOMAIN=d.example\r\nBRAND_LONG=L\r\nBRAND=B\r\n";
  BrandValues v;
  ResolveBrandValues(s, v);
  ASSERT_EQ(s.writes.size(), 9u);  // five defaults, four entries; folder copied in memory
  EXPECT_EQ(s.writes[5], (std::pair<std::string, std::string>{"BRAND", "B"}));
  EXPECT_EQ(s.writes[6], (std::pair<std::string, std::string>{"BRAND_LONG", "L"}));
  EXPECT_EQ(s.writes[7], (std::pair<std::string, std::string>{"BRAND_DOMAIN", "d.example"}));
  EXPECT_EQ(s.writes[8], (std::pair<std::string, std::string>{"BRAND_CODE", "C1"}));
  EXPECT_EQ(v.brandFolder, "B");
  EXPECT_EQ(s.registry["BRAND_FOLDER"], "");
}

TEST(ResolveBrandValues, FolderFallsBackToTheBuiltInBrandWhenBrandIsBlank) {
  FakeBrandSource s;
  FillAll(s);
  s.registry["BRAND"] = " ";
  s.registry.erase("BRAND_FOLDER");
  s.config = kShippedConfig;
  BrandValues v;
  ResolveBrandValues(s, v);
  EXPECT_EQ(v.brand, "Brindle");
  EXPECT_EQ(v.brandFolder, "Brindle");
  EXPECT_EQ(s.registry["BRAND_FOLDER"], "");  // only the empty default was written
  EXPECT_EQ(s.registry["BRAND"], " ");
}

TEST(ResolveBrandValues, WithoutConfigResourceTheDefaultsStand) {
  FakeBrandSource s;
  s.registry = {{"BRAND", "Acme"}};
  s.config = std::nullopt;
  BrandValues v;
  ResolveBrandValues(s, v);
  EXPECT_EQ(s.configLoads, 1);
  EXPECT_EQ(v.brand, "Acme");
  EXPECT_EQ(v.brandDomain, std::string(kDefaultBrandDomain));
  EXPECT_EQ(v.brandFolder, "");  // no CONFIG: no folder fallback either
  EXPECT_EQ(s.writes.size(), 4u);
}

TEST(ResolveBrandValues, AFailureKeepsTheValuesResolvedSoFar) {
  FakeBrandSource s;
  FillAll(s);
  s.throwOnRead = "BRAND_CODE";
  BrandValues v;
  EXPECT_THROW(ResolveBrandValues(s, v), std::runtime_error);
  EXPECT_EQ(v.brand, "Acme");
  EXPECT_EQ(v.brandLong, "Acme-Tools.net");
  EXPECT_EQ(v.brandCode, "");
  EXPECT_EQ(v.brandDomain, "");
}

}  // namespace
}  // namespace sentrova
