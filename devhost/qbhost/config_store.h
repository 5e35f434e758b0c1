// The stand-in host's store, shared by qbhost.dll (the service) and
// qbhost.exe (the command line). Everything lives below
// HKEY_CURRENT_USER\Software\Quillbox\TB4:
//   Config\<namespace>    values written through the service, with their types
//                         (REG_DWORD integer, REG_SZ text, 2-byte REG_BINARY
//                         bool, 8-byte REG_BINARY date-time)
//   Defaults\<namespace>  the plug-in's defaults text, one REG_SZ per NAME=VALUE
//   Toolbar\<namespace>\<button>  what the plug-in pushed to its button
//   Windows\<namespace>   the HTML windows it asked for
//   Commits               one DWORD per namespace: how often it committed
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

namespace qbhost {

constexpr wchar_t kStoreRoot[] = L"Software\\Quillbox\\TB4";

// The stored value (Config first, then Defaults) as a VARIANT; false when the
// host holds no value for the key. The caller clears the VARIANT.
bool LookupValue(const std::wstring& ns, const std::wstring& key, VARIANT& value);
// Stores a VT_BOOL, VT_I4, VT_BSTR or VT_DATE value; false on failure.
bool StoreValue(const std::wstring& ns, const std::wstring& key, const VARIANT& value);
bool DeleteValue(const std::wstring& ns, const std::wstring& key);

// Replaces the namespace's defaults with the NAME=VALUE lines of a text
// (empty lines and lines without "=" are skipped). Returns how many were kept.
int StoreDefaults(const std::wstring& ns, const std::wstring& text);

// Text and number values under a subkey of the store root.
bool WriteText(const std::wstring& subkey, const std::wstring& name, const std::wstring& text);
bool WriteNumber(const std::wstring& subkey, const std::wstring& name, DWORD number);
// All values of a subkey as name=value lines (numbers in decimal).
std::vector<std::wstring> ListValues(const std::wstring& subkey);

void CountCommit(const std::wstring& ns);

// Removes the whole store.
void ClearStore();

}  // namespace qbhost
