#include "monitor/change_detection.h"

namespace sentrova {

std::vector<TMonitoredSetting> BuildCatalogue() {
  std::vector<TMonitoredSetting> catalogue;
  catalogue.reserve(kCatalogue.size());
  for (const CatalogueEntry& e : kCatalogue) {
    TMonitoredSetting s;
    s.key = e.key;
    s.valueName = e.valueName;
    s.kind = e.kind;
    s.special = e.kind != SettingKind::kPlain;
    catalogue.push_back(std::move(s));
  }
  return catalogue;
}

void ReloadSnapshot(std::vector<TMonitoredSetting>& catalogue, SettingStore& store,
                    const std::function<bool(std::string_view key)>& isEnabled) {
  for (TMonitoredSetting& s : catalogue) {
    s.enabled = isEnabled(s.key);
    if (!s.enabled) continue;
    for (int zone = 0; zone < kZoneCount; ++zone) {
      const std::optional<uint32_t> value = store.Read(s, zone);
      if (!value) {
        s.enabled = false;
        break;
      }
      s.snapshot[zone] = *value;
    }
  }
}

TChangeAction NewChange(int zone, int index, uint32_t oldValue, uint32_t newValue,
                        std::string_view key, std::string_view valueName) {
  TChangeAction c;
  c.oldValue = oldValue;
  c.newValue = newValue;
  c.zone = zone;
  c.index = index;
  c.oldText = DescribeValue(valueName, oldValue);
  c.newText = DescribeValue(valueName, newValue);
  c.key = std::string(key);
  c.selected = true;
  return c;
}

void CheckZone(int zone, const std::vector<TMonitoredSetting>& catalogue, SettingStore& store,
               std::vector<TChangeAction>& changes) {
  for (size_t i = 0; i < catalogue.size(); ++i) {
    const TMonitoredSetting& s = catalogue[i];
    if (!s.enabled) continue;
    if (s.kind == SettingKind::kDebugger && zone != 0) continue;
    const uint32_t value = store.Read(s, zone).value_or(kUnreadableValue);
    if (value != s.snapshot[zone])
      changes.push_back(
          NewChange(zone, static_cast<int>(i), s.snapshot[zone], value, s.key, s.valueName));
  }
}

std::vector<size_t> ApplyAnswer(bool restore, const std::vector<TChangeAction>& changes,
                                std::vector<TMonitoredSetting>& catalogue, SettingStore& store) {
  std::vector<size_t> notUndone;
  for (size_t i = 0; i < changes.size(); ++i) {
    const TChangeAction& c = changes[i];
    if (c.index < 0 || static_cast<size_t>(c.index) >= catalogue.size()) continue;
    TMonitoredSetting& s = catalogue[c.index];
    const bool undo = restore && c.selected;
    const bool written =
        undo && c.oldValue != kUnreadableValue && store.Write(s, c.zone, c.oldValue);
    s.snapshot[c.zone] = store.Read(s, c.zone).value_or(kUnreadableValue);
    if (undo && (!written || s.snapshot[c.zone] != c.oldValue)) notUndone.push_back(i);
  }
  return notUndone;
}

}  // namespace sentrova
