#include "cleanup/cookie_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "cleanup/cookie_keep_list.h"
#include "platform/text.h"

namespace sentrova {
namespace {

using Hosts = std::vector<std::string>;

// The rows as "host:K" / "host:D", joined by blanks.
std::string Show(const TCookieRows& rows) {
  std::string out;
  for (const CookieRow& row : rows.Rows()) {
    if (!out.empty()) out += ' ';
    out += row.host + (row.status == CookieStatus::Keep ? ":K" : ":D");
  }
  return out;
}

TCookieRows Built(const std::string& keepText, const Hosts& hosts) {
  TCookieRows rows;
  rows.Build(keepText, hosts);
  return rows;
}

TEST(CookieRows, BuildFromKeepListAndCache) {
  const struct {
    const char* keep;
    Hosts hosts;
    const char* rows;
  } cases[] = {
      {"", {}, ""},
      {"gone.example\n", {}, "gone.example:K"},                         // kept without a cookie
      {"", {"b.com", "a.com", "b.com"}, "a.com:D b.com:D"},             // one row per host
      {"B.com\r\na.com", {"c.com", "b.com", "", "a.com"}, "a.com:K B.com:K c.com:D"},
      {"Shop.com\nshop.COM\n", {"shop.com"}, "Shop.com:K"},             // case ignored
  };
  for (const auto& c : cases) {
    const TCookieRows rows = Built(c.keep, c.hosts);
    EXPECT_EQ(Show(rows), c.rows) << c.keep;
    EXPECT_EQ(rows.AllButtonsEnabled(), !rows.Rows().empty()) << c.keep;
    EXPECT_TRUE(rows.CanSave());
  }
}

TEST(CookieRows, AddTypedHost) {
  const struct {
    const char* keep;
    Hosts hosts;
    const char* typed;
    int index;
    const char* rows;
  } cases[] = {
      {"", {"a.com", "c.com"}, "a.com", -1, "a.com:D c.com:D"},  // exact: even a Delete row stays
      {"", {"a.com", "c.com"}, "A.COM", -1, "a.com:D c.com:D"},
      {"Example.com\n", {}, "example.com", 1, "Example.com:K example.com:K"},
      {"", {"a.com", "c.com"}, "  Bee.COM\t", 1, "a.com:D Bee.COM:K c.com:D"},
      {"", {"a.com"}, "z.com", 1, "a.com:D z.com:K"},
      {"", {}, "new.org", 0, "new.org:K"},
      {"", {"a.com"}, "   ", -1, "a.com:D"},
      {"", {"a.com"}, "b.com\nc.com", -1, "a.com:D"},  // would store as two hosts
  };
  for (const auto& c : cases) {
    TCookieRows rows = Built(c.keep, c.hosts);
    EXPECT_EQ(rows.AddTyped(c.typed), c.index) << c.typed;
    EXPECT_EQ(Show(rows), c.rows) << c.typed;
    EXPECT_TRUE(rows.AllButtonsEnabled() || rows.Rows().empty());
  }
  EXPECT_TRUE(AddButtonEnabled(" x "));
  EXPECT_FALSE(AddButtonEnabled(" \t "));
}

TEST(CookieRows, StatusesButtonsAndText) {
  TCookieRows rows = Built("a.com\nC.com\n", {"b.com"});
  EXPECT_EQ(rows.KeepText(), "a.com\nC.com\n");
  const struct {
    int selected;
    bool keep;
    bool remove;
  } buttons[] = {{-1, false, false}, {0, false, true}, {1, true, false}, {3, false, false}};
  for (const auto& b : buttons) {
    EXPECT_EQ(rows.ButtonsFor(b.selected).keep, b.keep) << b.selected;
    EXPECT_EQ(rows.ButtonsFor(b.selected).remove, b.remove) << b.selected;
  }
  rows.SetStatus(1, CookieStatus::Keep);
  rows.SetStatus(0, CookieStatus::Delete);
  rows.SetStatus(7, CookieStatus::Keep);
  EXPECT_EQ(rows.KeepText(), "b.com\nC.com\n");
  rows.SetAll(CookieStatus::Delete);
  EXPECT_EQ(rows.KeepText(), "");  // OK with every row on Delete stores an empty list
  rows.SetAll(CookieStatus::Keep);
  EXPECT_EQ(Show(rows), "a.com:K b.com:K C.com:K");
}

// Rows built without a readable keep-list lack the kept hosts and must not
// be stored; without the cache the rows stay as they were.
TEST(CookieRows, FailedReadsProtectTheStoredList) {
  TCookieRows rows;
  EXPECT_FALSE(rows.CanSave());
  rows.Build("kept.com\n", std::nullopt);
  EXPECT_EQ(Show(rows), "");
  EXPECT_FALSE(rows.CanSave());

  rows.Build("kept.com\n", Hosts{"x.com"});
  rows.Build(std::nullopt, std::nullopt);
  EXPECT_EQ(Show(rows), "kept.com:K x.com:D");
  EXPECT_TRUE(rows.CanSave());

  rows.Build(std::nullopt, Hosts{"x.com"});
  EXPECT_EQ(Show(rows), "x.com:D");
  EXPECT_FALSE(rows.CanSave());
}

TEST(CookieRows, FuzzInvariants) {
  std::mt19937 rng(20261207);
  const std::string alphabet = "abAB. ";
  auto word = [&](size_t most) {
    std::string w(rng() % (most + 1), ' ');
    for (char& ch : w) ch = alphabet[rng() % alphabet.size()];
    return w;
  };
  for (int round = 0; round < 400; ++round) {
    std::string keep;
    for (int i = rng() % 4; i > 0; --i) keep += word(4) + (rng() % 2 ? "\n" : "\r\n");
    Hosts hosts;
    for (int i = rng() % 5; i > 0; --i) hosts.push_back(LowerAscii(Trim(word(4))));
    TCookieRows rows = Built(keep, hosts);
    const std::vector<std::string> kept = KeepListLines(keep);
    for (size_t i = 0; i < rows.Rows().size(); ++i) {
      const CookieRow& row = rows.Rows()[i];
      EXPECT_EQ(row.status == CookieStatus::Keep, IsKeptHost(kept, row.host)) << row.host;
      if (i > 0) EXPECT_LT(LowerAscii(rows.Rows()[i - 1].host), LowerAscii(row.host));
    }
    for (int i = rng() % 4; i > 0; --i) {
      const std::string typed = word(5);
      const size_t before = rows.Rows().size();
      const int at = rows.AddTyped(typed);
      EXPECT_EQ(rows.Rows().size(), before + (at >= 0 ? 1 : 0));
      if (at >= 0) EXPECT_EQ(rows.Rows()[static_cast<size_t>(at)].host, Trim(typed));
      if (!rows.Rows().empty()) rows.SetStatus(static_cast<int>(rng() % rows.Rows().size()), CookieStatus::Delete);
    }
    // What OK stores reads back as the Keep rows, in row order.
    std::vector<std::string> expected;
    for (const CookieRow& row : rows.Rows())
      if (row.status == CookieStatus::Keep) expected.push_back(row.host);
    EXPECT_EQ(KeepListLines(rows.KeepText()), expected);
  }
}

}  // namespace
}  // namespace sentrova
