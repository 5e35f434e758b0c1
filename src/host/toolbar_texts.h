// The texts and images that the plug-in objects push to the toolbar: the
// translated captions, the drop-down menu text and the button bitmap.
#pragma once

namespace sentrova {

// Builds the toolbar texts once at start-up, before the host can ask for them.
void BuildToolbarTexts();
// Releases the button image made by BuildToolbarTexts (shutdown).
void ReleaseToolbarImages();

}  // namespace sentrova
