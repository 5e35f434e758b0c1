#include "platform/visual_styles.h"

#include <commctrl.h>

#include <atomic>
#include <mutex>

#include "platform/system_facts.h"

namespace sentrova {

void ActivateVisualStyles(VisualStyleContext& ctx, uint8_t osKind) {
  ctx.context = nullptr;
  if (osKind >= 6) {
    ctx.source = ProgramFileName();
    ctx.application = ProgramFileName();
    ctx.assemblyDir.assign(255, '\0');
    ACTCTXA request{};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID | ACTCTX_FLAG_HMODULE_VALID;
    request.lpSource = ctx.source.c_str();
    request.lpAssemblyDirectory = ctx.assemblyDir.c_str();
    request.lpResourceName = MAKEINTRESOURCEA(2);
    request.lpApplicationName = ctx.application.c_str();
    request.hModule = ::GetModuleHandleA(nullptr);
    HANDLE handle = ::CreateActCtxA(&request);
    if (handle != INVALID_HANDLE_VALUE) {
      ULONG_PTR cookie = 0;
      if (::ActivateActCtx(handle, &cookie)) {
        ctx.context = handle;
        ctx.cookie = cookie;
        ctx.activated = true;
      } else {
        ::ReleaseActCtx(handle);
      }
    }
  }
  ::InitCommonControls();
}

void ActivateVisualStyles(VisualStyleContext& ctx) { ActivateVisualStyles(ctx, OsKind()); }

void DeactivateVisualStyles(VisualStyleContext& ctx) {
  if (!ctx.activated) return;
  ::DeactivateActCtx(0, ctx.cookie);
  ctx.cookie = 0;
  ::ReleaseActCtx(ctx.context);
  ctx.context = nullptr;
  ctx.source.clear();
  ctx.application.clear();
  ctx.assemblyDir.clear();
  ctx.activated = false;
}

namespace {
std::mutex processStylesLock;
VisualStyleContext processStyles;
bool processStylesTried = false;
}  // namespace

void ActivateProcessVisualStyles() {
  if (OsKind() != 6) return;
  std::lock_guard lock(processStylesLock);
  if (processStylesTried) return;
  processStylesTried = true;
  ActivateVisualStyles(processStyles, 6);
}

void DeactivateProcessVisualStyles() {
  std::lock_guard lock(processStylesLock);
  DeactivateVisualStyles(processStyles);
}

bool ProcessVisualStylesActive() {
  std::lock_guard lock(processStylesLock);
  return processStyles.activated;
}

}  // namespace sentrova
