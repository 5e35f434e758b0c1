#include "cleanup/tool_window.h"

#include <windows.h>

namespace sentrova {

std::unique_ptr<TControl> MakeToolWindow(TControl* owner, const char* caption, int width,
                                         int height) {
  auto form = std::make_unique<TControl>(ControlKind::Form, owner, caption);
  form->ModifyStyle(0, WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME);
  form->ModifyExStyle(WS_EX_APPWINDOW, 0);
  form->SetTopmost(true);
  form->SetIconFromResource("MAINICON");
  form->SetFont({"MS Sans Serif", 8, false});
  form->SetSize(width, height);
  form->CenterOnScreen();
  return form;
}

}  // namespace sentrova
