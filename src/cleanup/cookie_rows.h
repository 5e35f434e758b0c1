// The rows of the Customize Cookies dialog, kept apart from its window: one
// row per host with the status Keep or Delete, the place where a typed host
// goes, which buttons are enabled, and the keep-list text that OK stores.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sentrova {

enum class CookieStatus : int { Delete = 0, Keep = 1 };

struct CookieRow {
  std::string host;  // column "Website"
  CookieStatus status = CookieStatus::Delete;
};

// Keep and Delete follow the selected row: each is enabled when it would
// change that row's status; with no row selected both are disabled.
struct RowButtons {
  bool keep = false;
  bool remove = false;
};

// The Add button is enabled exactly when the field's text, trimmed of
// blanks, is not empty.
bool AddButtonEnabled(std::string_view fieldText);

class TCookieRows {
 public:
  // Rebuilds the rows from the stored keep-list text (nothing when it could
  // not be read) and the host names that have cookies in the cache (nothing
  // when the cache could not be enumerated: the rows then stay as they were).
  // The rows are sorted with letter case ignored and hold each name once
  // (case ignored); a name of the keep-list gets Keep, any other Delete. An
  // empty host name (a cookie entry without one) gives no row.
  void Build(const std::optional<std::string>& keepListText,
             const std::optional<std::vector<std::string>>& cacheHosts);

  // Adds a typed host: trimmed of blanks, kept as typed, with status Keep,
  // before the first row whose name sorts after its lower-cased form (byte
  // order), or at the end. Nothing is added when the text is empty, holds a
  // line break (it would store as two names), or when a row's name equals
  // its lower-cased form exactly, whatever that row's status. Returns the
  // new row's index, or -1.
  int AddTyped(std::string_view typed);

  // Sets one row (ignored when out of range) or every row.
  void SetStatus(int row, CookieStatus status);
  void SetAll(CookieStatus status);

  const std::vector<CookieRow>& Rows() const { return rows_; }
  // Keep All and Delete All are enabled when there is at least one row.
  bool AllButtonsEnabled() const { return !rows_.empty(); }
  RowButtons ButtonsFor(int selectedRow) const;

  // True once the rows come from a build whose keep-list was read. Before
  // any build, or after one whose keep-list could not be read, the rows lack
  // the kept hosts, and storing them would drop the whole list.
  bool CanSave() const { return canSave_; }
  // The names of the Keep rows in row order, each followed by a line feed.
  std::string KeepText() const;

 private:
  std::vector<CookieRow> rows_;
  bool canSave_ = false;
};

// The status text of a row, before translation: "Keep" or "Delete".
const char* StatusText(CookieStatus status);

}  // namespace sentrova
