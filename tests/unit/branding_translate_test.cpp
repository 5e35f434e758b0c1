#include <gtest/gtest.h>

#include "branding/translate.h"

namespace sentrova {
namespace {

BrandValues Shipped() {
  BrandValues v;
  v.brand = "Brindle";
  v.brandLong = "Brindle-Soft.com";
  v.brandCode = "";
  v.brandDomain = "www.brindle-soft.com";
  v.brandFolder = "Folder";
  return v;
}

TEST(TranslateText, LeavesTextsWithoutPlaceholdersAlone) {
  const BrandValues v = Shipped();
  EXPECT_EQ(TranslateText("", v), "");
  EXPECT_EQ(TranslateText("Clean up now?", v), "Clean up now?");
  EXPECT_EQ(TranslateText("100% done, 50%BRANDX", v), "100% done, 50BrindleX");
  // The caller's own placeholders pass through untouched.
  EXPECT_EQ(TranslateText("Change the start page from %OLD% to %NEW%?", v),
            "Change the start page from %OLD% to %NEW%?");
  EXPECT_EQ(TranslateText("%BRAN %BRAN_LONG %", v), "%BRAN %BRAN_LONG %");
}

TEST(TranslateText, ReplacesEachPlaceholderEverywhere) {
  const BrandValues v = Shipped();
  EXPECT_EQ(TranslateText("About %BRAND", v), "About Brindle");
  EXPECT_EQ(TranslateText("%BRAND_LONG at %BRAND_DOMAIN", v),
            "Brindle-Soft.com at www.brindle-soft.com");
  EXPECT_EQ(TranslateText("%BRAND and %BRAND and %BRAND_LONG%BRAND_LONG", v),
            "Brindle and Brindle and Brindle-Soft.comBrindle-Soft.com");
  BrandValues coded = v;
  coded.brandCode = "BX";
  EXPECT_EQ(TranslateText("[%BRAND_CODE] %BRAND", coded), "[BX] Brindle");
}

TEST(TranslateText, MatchesPlaceholdersInAnyLetterCase) {
  const BrandValues v = Shipped();
  EXPECT_EQ(TranslateText("Thank you for using %brand", v), "Thank you for using Brindle");
  EXPECT_EQ(TranslateText("Thank you for using %BrAnD", v), "Thank you for using Brindle");
  EXPECT_EQ(TranslateText("%brand_long|%Brand_Domain|%bRAND_cODE|", v),
            "Brindle-Soft.com|www.brindle-soft.com||");
}

TEST(TranslateText, PlaceholdersEndWhereTheirLettersEnd) {
  const BrandValues v = Shipped();
  // No placeholder of its own: the last step takes its first six characters.
  EXPECT_EQ(TranslateText("%BRAND_FOLDER", v), "Brindle_FOLDER");
  EXPECT_EQ(TranslateText("%brand_folder", v), "Brindle_folder");
  EXPECT_EQ(TranslateText("%BRAND_LONGER", v), "Brindle-Soft.comER");
  EXPECT_EQ(TranslateText("%BRANDS", v), "BrindleS");
}

TEST(TranslateText, EmptyCodeDisappearsWithNothingElseChanged) {
  const BrandValues v = Shipped();
  EXPECT_EQ(TranslateText("Edition %BRAND_CODE 5", v), "Edition  5");
  EXPECT_EQ(TranslateText("%BRAND_CODE", v), "");
  BrandValues empty;
  EXPECT_EQ(TranslateText("a%BRANDb%BRAND_LONGc", empty), "abc");
}

TEST(TranslateText, LaterStepsScanWhatEarlierStepsInserted) {
  BrandValues v = Shipped();
  v.brandLong = "%BRAND Software (%BRAND_DOMAIN)";
  EXPECT_EQ(TranslateText("%BRAND_LONG", v), "Brindle Software (www.brindle-soft.com)");
  // ... but not the other way round: the long form is replaced first.
  v = Shipped();
  v.brand = "%BRAND_LONG";
  EXPECT_EQ(TranslateText("%BRAND", v), "%BRAND_LONG");
}

TEST(TranslateText, AStepDoesNotRescanItsOwnInsertion) {
  BrandValues v = Shipped();
  v.brand = "%BRAND";
  EXPECT_EQ(TranslateText("%BRAND", v), "%BRAND");
  EXPECT_EQ(TranslateText("x%brandy%BRAND", v), "x%BRANDy%BRAND");
  v.brand = "%brand%BRAND";
  EXPECT_EQ(TranslateText("%BRAND!", v), "%brand%BRAND!");
  v = Shipped();
  v.brandDomain = "%BRAND_DOMAIN.%BRAND_DOMAIN";
  // Step two leaves its insertions alone; the last step still shortens them.
  EXPECT_EQ(TranslateText("%BRAND_DOMAIN", v), "Brindle_DOMAIN.Brindle_DOMAIN");
}

TEST(TranslateText, NeverSubstitutesTheFolder) {
  BrandValues v = Shipped();
  v.brand = "";
  EXPECT_EQ(TranslateText("%BRAND_FOLDER", v), "_FOLDER");
}

TEST(TranslateText, KeepsBytesOutsideAsciiAsTheyAre) {
  BrandValues v = Shipped();
  v.brand = "Br\xe4ndle";
  EXPECT_EQ(TranslateText("\xc4 %BRAND \xe4", v), "\xc4 Br\xe4ndle \xe4");
}

}  // namespace
}  // namespace sentrova
