// The scanner's catalogue with its snapshot of accepted values, and the
// comparison that turns differences into changes. Platform-free: the
// registry is reached through SettingStore.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "monitor/catalogue.h"

namespace sentrova {

struct TMonitoredSetting {
  std::string key;
  bool special = false;  // the Java and debugger entries, read by rules of their own
  bool enabled = false;
  std::string valueName;
  std::array<uint32_t, kZoneCount> snapshot{};
  SettingKind kind = SettingKind::kPlain;
};

struct TChangeAction {
  uint32_t oldValue = 0;
  uint32_t newValue = 0;  // kUnreadableValue when reading failed
  int zone = 0;
  int index = 0;  // position of the entry in the catalogue
  std::string oldText;
  std::string newText;
  std::string key;
  bool selected = true;  // the restore mark
};

// Reads and writes the current value of a setting in a zone.
class SettingStore {
 public:
  virtual ~SettingStore() = default;
  // Nothing when the value cannot be read (wrong type, registry error).
  virtual std::optional<uint32_t> Read(const TMonitoredSetting& setting, int zone) = 0;
  // False when the write was refused.
  virtual bool Write(const TMonitoredSetting& setting, int zone, uint32_t value) = 0;
};

// The catalogue in its order, every entry disabled with a zero snapshot.
std::vector<TMonitoredSetting> BuildCatalogue();

// Takes the configuration switch of every entry and, for the enabled ones,
// a new snapshot of zones 0..4. An entry with a value that cannot be read is
// disabled until the next reload.
void ReloadSnapshot(std::vector<TMonitoredSetting>& catalogue, SettingStore& store,
                    const std::function<bool(std::string_view key)>& isEnabled);

TChangeAction NewChange(int zone, int index, uint32_t oldValue, uint32_t newValue,
                        std::string_view key, std::string_view valueName);

// Appends the changes of one zone in catalogue order. A value that cannot be
// read counts as kUnreadableValue, so it is reported once and then accepted
// as unreadable rather than reported again at every scan.
void CheckZone(int zone, const std::vector<TMonitoredSetting>& catalogue, SettingStore& store,
               std::vector<TChangeAction>& changes);

// After the alert: with `restore`, writes back the old value of each
// selected change (an unreadable old value is never written); then, whatever
// the answer, the snapshot of each changed setting takes the value read now
// (kUnreadableValue when that read fails), so no change is reported twice.
// Returns the positions in `changes` of the selected changes that were not
// undone: the write was refused, the value read back is not the old one, or
// the old value was unreadable. Empty without `restore`.
std::vector<size_t> ApplyAnswer(bool restore, const std::vector<TChangeAction>& changes,
                                std::vector<TMonitoredSetting>& catalogue, SettingStore& store);

}  // namespace sentrova
