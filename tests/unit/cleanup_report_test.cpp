#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "cleanup/clean_report.h"

namespace sentrova {
namespace {

std::string DataFile(const char* name) {
#ifdef _WIN32
  return std::string("Z:" SENTROVA_TEST_DATA "/") + name;  // the Linux root under Wine
#else
  return std::string(SENTROVA_TEST_DATA "/") + name;
#endif
}

// The same table drives the settings page's test, so the page and the tray
// never word a report differently.
TEST(CleanReport, StoredTextsReadAsTheirLineOrAsNothing) {
  std::ifstream table(DataFile("last_clean_lines.txt"));
  ASSERT_TRUE(table) << DataFile("last_clean_lines.txt");
  int rows = 0;
  for (std::string row; std::getline(table, row);) {
    if (row.empty() || row[0] == '#') continue;
    const size_t tab = row.find('\t');
    ASSERT_NE(tab, std::string::npos) << row;
    const std::string stored = row.substr(0, tab), shown = row.substr(tab + 1);
    const std::optional<CleanReport> report = DecodeCleanReport(stored);
    EXPECT_EQ(report ? LastCleanLine(*report) : std::string(), shown) << stored;
    if (report) EXPECT_EQ(EncodeCleanReport(*report), stored);
    ++rows;
  }
  EXPECT_GT(rows, 10);
}

TEST(CleanReport, ItemsAddUpInThePassOrder) {
  CleanReport report;
  report.Item("WIN_TEMP").count += 2;
  report.Item("IE_TEMP").bytes += 10;
  report.Item("WIN_TEMP").bytes += 5;
  ASSERT_EQ(report.items.size(), 2u);
  EXPECT_EQ(report.items[0].key, "WIN_TEMP");
  EXPECT_EQ(report.TotalCount(), 2u);
  EXPECT_EQ(report.TotalBytes(), 15u);
}

}  // namespace
}  // namespace sentrova
