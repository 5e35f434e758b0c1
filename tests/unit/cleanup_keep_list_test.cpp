#include "cleanup/cookie_keep_list.h"

#include <gtest/gtest.h>

#include <random>

namespace sentrova {
namespace {

TEST(CookieKeepList, HostOfCookieEntry) {
  const struct {
    const char* url;
    const char* host;
  } cases[] = {
      {"Cookie:user@Example.COM/", "example.com"},
      {"Cookie:user@shop.example.com/cart/", "shop.example.com"},
      {"Cookie:a@b@host.example/", "b@host.example"},
      {"nohostmarker/path", "nohostmarker"},
      {"Cookie:user@", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(CookieHostOf(c.url), c.host) << c.url;
}

TEST(CookieKeepList, LinesAndMembership) {
  EXPECT_TRUE(KeepListLines("").empty());
  EXPECT_EQ(KeepListLines("a.com\nb.com\r\nc.com\rd.com"),
            (std::vector<std::string>{"a.com", "b.com", "c.com", "d.com"}));
  const auto kept = KeepListLines("Example.com\n");
  EXPECT_TRUE(IsKeptHost(kept, "example.COM"));
  EXPECT_FALSE(IsKeptHost(kept, "www.example.com"));  // subdomains are not kept
  EXPECT_FALSE(IsKeptHost(kept, "example.co"));
  EXPECT_EQ(KeepListText({"a.com", "B.org"}), "a.com\nB.org\n");
  EXPECT_EQ(KeepListText({}), "");
}

// Whatever the stored text, reading it back from what was written gives the
// same list, and no line holds a line break.
TEST(CookieKeepList, FuzzRoundTrip) {
  std::mt19937 rng(20261207);
  const char alphabet[] = "ab.\r\n@/ X";
  for (int i = 0; i < 3000; ++i) {
    std::string text(rng() % 40, ' ');
    for (char& c : text) c = alphabet[rng() % (sizeof alphabet - 1)];
    const auto lines = KeepListLines(text);
    for (const auto& line : lines) ASSERT_EQ(line.find_first_of("\r\n"), std::string::npos);
    ASSERT_EQ(KeepListLines(KeepListText(lines)), lines);
    const std::string host = CookieHostOf(text);
    ASSERT_EQ(host.find('/'), std::string::npos);
  }
}

}  // namespace
}  // namespace sentrova
