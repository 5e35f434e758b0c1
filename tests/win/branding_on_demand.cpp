// The process-wide brand values: resolved on the first TranslateText of a
// process that has not resolved them yet, once, and then kept. One test only:
// it needs a process in which nothing has resolved them before.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "branding/brand_values_win.h"
#include "branding/translate.h"
#include "branding_machine_key.h"

namespace sentrova {
namespace {

TEST(ProcessBrandValues, FirstTranslationResolvesThemOnceForTheProcess) {
  test::PrivateMachineKey machine;
  ASSERT_TRUE(machine.ok());
  machine.Store("BRAND", "Acme");
  ASSERT_FALSE(BrandValuesLoaded());
  EXPECT_EQ(ProcessBrandValues().brand, "");

  const std::string text = "%BRAND_LONG by %BRAND (%brand_domain)%BRAND_CODE";
  const std::string expected =
      std::string(kDefaultBrandLong) + " by Acme (www.config-test.example)";

  // Several threads ask at once; each sees the completely resolved values.
  std::vector<std::string> results(4);
  std::vector<std::thread> threads;
  for (auto& r : results) threads.emplace_back([&r, &text] { r = TranslateText(text); });
  for (auto& t : threads) t.join();
  for (const auto& r : results) EXPECT_EQ(r, expected);

  EXPECT_TRUE(BrandValuesLoaded());
  EXPECT_EQ(ProcessBrandValues().brandFolder, "Acme");
  EXPECT_EQ(machine.Stored("BRAND_DOMAIN"), "www.config-test.example");
  EXPECT_EQ(machine.Stored("BRAND"), "Acme");

  // Resolved once: later registry changes are not seen by this process.
  machine.Store("BRAND", "Changed");
  machine.Store("BRAND_LONG", "Changed");
  LoadBrandValues();
  EXPECT_EQ(TranslateText(text), expected);
}

}  // namespace
}  // namespace sentrova
