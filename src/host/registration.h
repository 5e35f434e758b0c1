// The program's COM registration under HKEY_CLASSES_ROOT: the plug-in class,
// its local-server path and threading model, its programmatic identifier,
// the type library and the value the host looks for.
#pragma once

#include <string>

namespace sentrova {

// The LocalServer32 command for an executable path: the path itself; when it
// contains a blank, its short form; when even that has a blank, the short
// form in double quotes (COM would otherwise start the wrong file).
std::wstring LocalServerCommand(const std::wstring& fullPath, const std::wstring& shortPath);

// Registers the type library from the executable and writes the class keys
// in both registry views, each value only where the registry does not hold
// it already. Throws on the first failing standard step; the program's own
// values (PluginName, ThreadingModel, the access lists) are each guarded on
// their own.
void RegisterComClass();

// Unregisters the type library and deletes every key that RegisterComClass
// writes, in both views. The one-by-one deletion of a view stops at its
// first failure; the final clean-up deletions are each guarded on their own.
// Throws when a one-by-one deletion failed.
void UnregisterComClass();

}  // namespace sentrova
