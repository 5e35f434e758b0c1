// The program's COM registration under HKEY_CLASSES_ROOT: the plug-in class,
// its local-server path and threading model, its programmatic identifier,
// the type library and the value the host looks for.
#pragma once

#include <string>

namespace sentrova {

// The LocalServer32 command for an executable path: the path itself; when it
// contains a blank, its short form; when even that has a blank, the short
// form in double quotes (COM would otherwise start the wrong file).
std::string LocalServerCommand(const std::string& fullPath, const std::string& shortPath);

// Registers the type library from the executable and writes the class keys.
// Throws on the first failing standard step; the program's own values
// (PluginName, ThreadingModel, the access lists) are each guarded on their own.
void RegisterComClass();

// Unregisters the type library and deletes every key that RegisterComClass
// writes. Throws on the first failing step of the one-by-one deletion; the
// final clean-up deletions are each guarded on their own.
void UnregisterComClass();

}  // namespace sentrova
