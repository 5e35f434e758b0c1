// The kinds of window the toolkit builds, with the platform class behind each
// and the size a new control of that kind starts with. Platform-free.
#pragma once

#include <string_view>

namespace sentrova {

enum class ControlKind {
  App,            // the application window: in the taskbar, owns the forms
  Form,           // a top-level dialog window with a caption
  Button,         // push button
  Checkbox,       // automatic check box
  Label,          // one line of text
  WordWrapLabel,  // text wrapped at the label's width
  Paintbox,       // drawn by its paint handler
  Panel,          // container with an edge
  Editbox,        // text entry
  Listview,       // report list with columns
};

struct KindInfo {
  ControlKind kind;
  std::string_view name;           // "Button"
  std::string_view platformClass;  // "BUTTON"; empty for the toolkit's own classes
  int defaultWidth;                // 0: the kind leaves the width as it is
  int defaultHeight;               // 0: the kind leaves the height as it is
};

// Size of a new child before its kind's defaults apply.
inline constexpr int kNewControlSize = 64;
// An Editbox switched to multi-line takes this size.
inline constexpr int kMultiLineEditSize = 200;

const KindInfo& InfoOf(ControlKind kind);
// The kind named `name` (exact spelling, e.g. "WordWrapLabel"); false when
// no kind has that name.
bool KindFromName(std::string_view name, ControlKind& kind);
// Top-level kinds have an owner instead of a parent and screen positions.
bool IsTopLevelKind(ControlKind kind);

// Name of the window class the toolkit registers for a kind: "obj_" followed
// by the platform class ("obj_BUTTON"), or by the upper-cased kind name for
// the toolkit's own classes ("obj_FORM").
std::string_view WindowClassOf(ControlKind kind);

}  // namespace sentrova
