#include "toolkit/kinds.h"

#include <array>

namespace sentrova {

namespace {

constexpr std::array<KindInfo, 10> kKinds{{
    {ControlKind::App, "App", "", 0, 0},
    {ControlKind::Form, "Form", "", 0, 0},
    {ControlKind::Button, "Button", "BUTTON", 0, 22},
    {ControlKind::Checkbox, "Checkbox", "BUTTON", 72, 0},
    {ControlKind::Label, "Label", "STATIC", 0, 22},
    {ControlKind::WordWrapLabel, "WordWrapLabel", "STATIC", 0, 44},
    {ControlKind::Paintbox, "Paintbox", "STATIC", 40, 40},
    {ControlKind::Panel, "Panel", "STATIC", 100, 100},
    {ControlKind::Editbox, "Editbox", "EDIT", 100, 22},
    {ControlKind::Listview, "Listview", "SysListView32", 0, 0},
}};

// The class names, kept as literals so that views of them live forever.
constexpr std::array<std::string_view, 10> kClassNames{{
    "obj_APP", "obj_FORM", "obj_BUTTON", "obj_BUTTON", "obj_STATIC", "obj_STATIC",
    "obj_STATIC", "obj_STATIC", "obj_EDIT", "obj_SysListView32",
}};

}  // namespace

const KindInfo& InfoOf(ControlKind kind) { return kKinds[static_cast<size_t>(kind)]; }

bool KindFromName(std::string_view name, ControlKind& kind) {
  for (const KindInfo& info : kKinds) {
    if (info.name == name) {
      kind = info.kind;
      return true;
    }
  }
  return false;
}

bool IsTopLevelKind(ControlKind kind) {
  return kind == ControlKind::App || kind == ControlKind::Form;
}

std::string_view WindowClassOf(ControlKind kind) {
  return kClassNames[static_cast<size_t>(kind)];
}

}  // namespace sentrova
