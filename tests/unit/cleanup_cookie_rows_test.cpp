#include <gtest/gtest.h>

#include <random>

#include "cleanup/cookie_keep_list.h"
#include "cleanup/cookie_rows.h"
#include "platform/text.h"

namespace sentrova {
namespace {

using Hosts = std::vector<std::string>;

// The rows as "host:K" / "host:D", joined by blanks.
std::string Show(const TCookieRows& rows) {
  std::string out;
  for (const CookieRow& row : rows.Rows())
    out += (out.empty() ? "" : " ") + row.host + (row.status == CookieStatus::Keep ? ":K" : ":D");
  return out;
}

// Built from a keep-list and the cache's hosts, then a typed host added.
TEST(CookieRows, BuildAndAddTypedHost) {
  const struct {
    const char *keep, *typed;
    Hosts hosts;
    int index;
    const char* rows;
  } cases[] = {
      {"", "", {}, -1, ""},
      {"gone.example\n", "", {}, -1, "gone.example:K"},  // kept without a cookie
      {"B.com\r\na.com", "", {"c.com", "b.com", "", "c.com"}, -1, "a.com:K B.com:K c.com:D"},
      {"", "A.COM", {"a.com", "c.com"}, -1, "a.com:D c.com:D"},  // exact: a Delete row stays
      {"Example.com\n", "example.com", {}, 1, "Example.com:K example.com:K"},
      {"", "  Bee.COM\t", {"a.com", "c.com"}, 1, "a.com:D Bee.COM:K c.com:D"},
      {"", "z.com", {"a.com"}, 1, "a.com:D z.com:K"},
      {"", "b.com\nc.com", {"a.com"}, -1, "a.com:D"},  // would be stored as two hosts
      {"", " \t ", {"a.com"}, -1, "a.com:D"},
  };
  for (const auto& c : cases) {
    TCookieRows rows;
    rows.Build(c.keep, c.hosts);
    EXPECT_EQ(rows.AddTyped(c.typed), c.index) << c.typed;
    EXPECT_EQ(Show(rows), c.rows) << c.keep << c.typed;
    EXPECT_EQ(rows.AllButtonsEnabled(), !rows.Rows().empty()) << c.rows;
  }
  EXPECT_TRUE(AddButtonEnabled(" x "));
  EXPECT_FALSE(AddButtonEnabled(" \t "));
}

// Keep/Delete enabling is checked through the dialog's window.
TEST(CookieRows, StatusesAndStoredText) {
  TCookieRows rows;
  EXPECT_FALSE(rows.CanSave());  // nothing read yet
  rows.Build("a.com\nC.com\n", Hosts{"b.com"});
  rows.SetStatus(1, CookieStatus::Keep);
  rows.SetStatus(0, CookieStatus::Delete);
  EXPECT_EQ(rows.KeepText(), "b.com\nC.com\n");
  rows.SetAll(CookieStatus::Delete);
  EXPECT_EQ(rows.KeepText(), "");
  // Without the cache the rows stay; rows built without the stored list
  // must not replace it.
  rows.Build(std::nullopt, std::nullopt);
  EXPECT_EQ(Show(rows), "a.com:D b.com:D C.com:D");
  EXPECT_TRUE(rows.CanSave());
  rows.Build(std::nullopt, Hosts{"x.com"});
  EXPECT_EQ(Show(rows), "x.com:D");
  EXPECT_FALSE(rows.CanSave());
}

// Random keep-lists, hosts and typed text: rows stay sorted without repeats,
// a row is Keep exactly when listed, and what OK stores reads back as the
// Keep rows in row order.
TEST(CookieRows, FuzzInvariants) {
  std::mt19937 rng(20261207);
  auto word = [&] {
    std::string w(rng() % 6, ' ');
    for (char& ch : w) ch = "abAB. \n"[rng() % 7];
    return w;
  };
  for (int round = 0; round < 400; ++round) {
    const std::string keep = word() + "\r\n" + word();
    TCookieRows rows;
    rows.Build(keep, Hosts{LowerAscii(Trim(word())), LowerAscii(Trim(word()))});
    Hosts kept;
    for (size_t i = 0; i < rows.Rows().size(); ++i) {
      const CookieRow& row = rows.Rows()[i];
      EXPECT_EQ(row.status == CookieStatus::Keep, IsKeptHost(KeepListLines(keep), row.host));
      if (i > 0) EXPECT_LT(LowerAscii(rows.Rows()[i - 1].host), LowerAscii(row.host));
    }
    const std::string typed = word();
    const int at = rows.AddTyped(typed);
    if (at >= 0) EXPECT_EQ(rows.Rows()[static_cast<size_t>(at)].host, Trim(typed));
    rows.SetStatus(static_cast<int>(rng() % 4), CookieStatus::Delete);
    for (const CookieRow& row : rows.Rows())
      if (row.status == CookieStatus::Keep) kept.push_back(row.host);
    EXPECT_EQ(KeepListLines(rows.KeepText()), kept);
  }
}

}  // namespace
}  // namespace sentrova
