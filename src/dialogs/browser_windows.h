// Driving Internet Explorer windows through the browser and shell automation:
// opening an address in a new window brought to the front, counting the shell
// windows and closing every browser window. The calling thread must have
// initialised COM. None of these reports a failure: each returns quietly when
// the platform refuses.
#pragma once

#include <windows.h>
#include <exdisp.h>

#include <string_view>

namespace sentrova {

// Opens `address` (trimmed; blank means nothing is opened) in a new Internet
// Explorer window in front of the others. Always returns false; the callers
// have no use for a result.
bool OpenInNewBrowser(std::string_view address);

// The number of Internet Explorer windows in the shell window collection
// (those whose program, FullName, is iexplore.exe; the file browser's folder
// windows do not count); 0 when the collection cannot be created or counted.
int CountBrowserWindows();

// Closes every Internet Explorer window of the shell window collection, last
// to first; folder windows are left alone, though on Windows they offer the
// web browser interface too. A
// non-empty `barId` (a class identifier in text form) names a browser bar that
// is hidden in each window before it closes.
void CloseBrowserWindows(std::string_view barId);

// The same two operations over a collection that the caller supplies; the
// ones above create the platform's collection and hand it here.
int CountBrowserWindows(IShellWindows* windows);
void CloseBrowserWindows(IShellWindows* windows, std::string_view barId);

}  // namespace sentrova
