// Module initialisation of sentrova.exe: the brand values are resolved before
// the start-up sequence begins, in every start mode.
#include "branding/brand_values_win.h"

namespace {

[[maybe_unused]] const bool brandValuesResolvedAtStart = [] {
  sentrova::LoadBrandValues();
  return true;
}();

}  // namespace
