// "qbhost pages DIR": the settings pages that sentrova.exe carries, written
// to a folder that any browser opens without the toolbar host.
#pragma once

#include <string>

namespace qbhost {

// Reads the HTML resources (type 23) of the program file and writes them to
// the folder (created when missing): the pages as "<name>.html", their
// companions with the extension of their kind (".js", ".css", ".gif"), and
// the pages' references to the companions changed to those file names, since
// a browser will not take a style sheet from a local file without ".css".
// The shared script gets a stand-in for the host's page object "cfg" in front
// of it, which keeps the program's defaults (DEFSET and CONFIG) in memory
// and tells the reader that the page is not connected to a host; index.html
// lists the pages. Prints what it wrote; returns the exit code.
int ExportPages(const std::string& programFile, const std::string& folder);

}  // namespace qbhost
