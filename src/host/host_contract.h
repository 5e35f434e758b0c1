// The toolbar host's contract as the program sees it: the interfaces
// (declared from the host's IDL), the identifiers of the program's own COM
// class and type library, and the names both sides agree on.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "quillbox.h"  // generated: ITB4Plugin, ITB4Server, CLSID_CoTB4Server

namespace sentrova {

// The program's plug-in class and type library.
extern const CLSID kVrxObjClassId;   // {8A22DFAF-353B-4627-833C-B943F4B11814}
extern const GUID kBvrxLibraryId;    // {CDAB5E96-1533-4BF4-BDCE-D08BFD81976F}, version 1.0
constexpr WORD kBvrxLibraryMajor = 1;
constexpr WORD kBvrxLibraryMinor = 0;
constexpr LCID kBvrxLibraryLcid = 0x409;
// The host's type library, which defines the plug-in interface.
extern const GUID kHostLibraryId;    // {506F578A-91E1-46CE-830F-E2F4268E9966}, version 1.0
constexpr WORD kHostLibraryMajor = 1;
constexpr WORD kHostLibraryMinor = 0;

extern const IID kPluginInterfaceId;  // {01C78433-6FDF-4E5A-A82D-B535C32E03DF}
extern const IID kHostServiceInterfaceId;  // ITB4Server {41349826-5C7F-4BF0-8279-5DAF1DE6E9AE}
extern const CLSID kHostServiceClassId;    // CoTB4Server {183643C8-EE67-4574-9A38-927852E34163}

constexpr char kProgId[] = "BVRX.VRXObj4";
constexpr char kPluginName[] = "VRX";
// The status with which the host's service answers a read of a key its store
// does not hold (neither written nor among the plug-in's defaults): an
// answer, not a failure; the value then carries the call default.
// HRESULT_FROM_WIN32(ERROR_NOT_FOUND).
constexpr HRESULT kHostKeyNotHeld = static_cast<HRESULT>(0x80070490L);
constexpr wchar_t kPluginNameW[] = L"VRX";

// Named events that the host sets to stop the program.
constexpr char kHostStopEvent[] = "TB4Stop";               // manual reset: every plug-in
constexpr char kHostShutdownEvent[] = "TB4Shutdown_VRX";   // automatic reset: this plug-in


// HKEY_LOCAL_MACHINE key of the host's per-plug-in values.
constexpr char kHostPluginKey[] = "Software\\Quillbox\\PlugIns\\VRX\\";

}  // namespace sentrova
