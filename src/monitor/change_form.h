// TChangeForm, the Detected Changes dialog: one row per detected change with
// a check box that says whether the change is to be reverted, the old and
// new value and the setting's label. It is modal to its owner (the security
// alert), which stays disabled while it is open.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "toolkit/control.h"

namespace sentrova {

inline constexpr int kChangeFormOk = 1;
inline constexpr int kChangeFormCancel = 2;

class TChangeForm {
 public:
  // owner: the window the dialog belongs to (may be null).
  explicit TChangeForm(TControl* owner);
  ~TChangeForm();
  TChangeForm(const TChangeForm&) = delete;
  TChangeForm& operator=(const TChangeForm&) = delete;

  // Adds a row for the change at `changeIndex`; its label comes from the
  // program's LABELS list (the key itself when it has none there).
  void AddChangeRow(int changeIndex, const std::string& oldText, const std::string& newText,
                    const std::string& key, bool selected);

  // Shows the dialog centred on the screen and waits, blocked on the
  // thread's message queue, for "OK" (kChangeFormOk) or "Cancel" / a close
  // request (kChangeFormCancel).
  int ShowModal();

  // After ShowModal: the change index of each row and whether it is ticked.
  struct RowMark {
    int changeIndex;
    bool ticked;
  };
  std::vector<RowMark> Marks();

 private:
  struct Row {
    std::string oldText, newText, label;
    int changeIndex;
  };
  void SetAll(bool ticked);

  TControl* owner_;
  TControl window_;
  TControl* list_ = nullptr;
  std::vector<std::unique_ptr<Row>> rows_;
  int result_ = 0;
};

}  // namespace sentrova
