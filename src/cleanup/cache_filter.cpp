#include "cleanup/cache_filter.h"

namespace sentrova {

uint32_t FilterMaskOf(TFilterOptions options) {
  uint32_t mask = 0;
  for (int i = 0; i < kFilterOptionCount; ++i) {
    const auto option = static_cast<TFilterOption>(i);
    if (options.Contains(option)) mask += FilterOptionFlag(option);
  }
  return mask;
}

const char* SearchPatternText(TSearchPattern pattern) {
  switch (pattern) {
    case TSearchPattern::spCookies:
      return "Cookie:";
    case TSearchPattern::spHistory:
      return "Visited:";
    case TSearchPattern::spUrl:
      return "";
    case TSearchPattern::spAll:
      break;
  }
  return nullptr;
}

}  // namespace sentrova
