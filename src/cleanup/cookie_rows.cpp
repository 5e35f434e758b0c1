#include "cleanup/cookie_rows.h"

#include <algorithm>

#include "cleanup/cookie_keep_list.h"
#include "platform/text.h"

namespace sentrova {

namespace {

// Byte order of the lower-cased names: the order of the rows, in which
// names that differ only in letter case are equal.
bool LessNoCase(const std::string& a, const std::string& b) {
  return LowerAscii(a) < LowerAscii(b);
}

// Adds a name to a list sorted by LessNoCase unless it holds the name
// already (case ignored).
void AddSortedUnique(std::vector<std::string>& names, const std::string& name) {
  auto at = std::lower_bound(names.begin(), names.end(), name, LessNoCase);
  if (at != names.end() && SameTextAscii(*at, name)) return;
  names.insert(at, name);
}

}  // namespace

bool AddButtonEnabled(std::string_view fieldText) { return !Trim(fieldText).empty(); }

const char* StatusText(CookieStatus status) {
  return status == CookieStatus::Keep ? "Keep" : "Delete";
}

void TCookieRows::Build(const std::optional<std::string>& keepListText,
                        const std::optional<std::vector<std::string>>& cacheHosts) {
  std::vector<std::string> keepLines = KeepListLines(keepListText.value_or(std::string()));
  std::stable_sort(keepLines.begin(), keepLines.end(), LessNoCase);
  std::vector<std::string> names;
  for (const std::string& line : keepLines) AddSortedUnique(names, line);
  if (!cacheHosts) return;  // the rows (and whether they may be stored) stay
  canSave_ = keepListText.has_value();
  for (const std::string& host : *cacheHosts) {
    if (!host.empty() && !IsKeptHost(keepLines, host)) AddSortedUnique(names, host);
  }
  rows_.clear();
  rows_.reserve(names.size());
  for (std::string& name : names) {
    const CookieStatus status =
        IsKeptHost(keepLines, name) ? CookieStatus::Keep : CookieStatus::Delete;
    rows_.push_back({std::move(name), status});
  }
}

int TCookieRows::AddTyped(std::string_view typed) {
  std::string host = Trim(typed);
  if (host.empty() || host.find_first_of("\r\n") != std::string::npos) return -1;
  const std::string search = LowerAscii(host);
  size_t at = 0;
  for (; at < rows_.size(); ++at) {
    if (rows_[at].host == search) return -1;
    if (rows_[at].host > search) break;
  }
  rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(at),
               {std::move(host), CookieStatus::Keep});
  return static_cast<int>(at);
}

void TCookieRows::SetStatus(int row, CookieStatus status) {
  if (row < 0 || static_cast<size_t>(row) >= rows_.size()) return;
  rows_[static_cast<size_t>(row)].status = status;
}

void TCookieRows::SetAll(CookieStatus status) {
  for (CookieRow& row : rows_) row.status = status;
}

RowButtons TCookieRows::ButtonsFor(int selectedRow) const {
  if (selectedRow < 0 || static_cast<size_t>(selectedRow) >= rows_.size()) return {};
  const bool kept = rows_[static_cast<size_t>(selectedRow)].status == CookieStatus::Keep;
  return {!kept, kept};
}

std::string TCookieRows::KeepText() const {
  std::vector<std::string> kept;
  for (const CookieRow& row : rows_) {
    if (row.status == CookieStatus::Keep) kept.push_back(row.host);
  }
  return KeepListText(kept);
}

}  // namespace sentrova
