#include "host/toolbar_texts.h"

namespace sentrova {

// The toolbar link (captions through TranslateText, the menu text and the
// BUTTON bitmap as BMP bytes) arrives with the plug-in object's button and
// menu support; until then there is nothing to build, and the plug-in
// object's button and menu methods answer empty.
void BuildToolbarTexts() {}

void ReleaseToolbarImages() {}

}  // namespace sentrova
