// Build tool, run under Wine: writes the program's own type library. The
// library BVRX holds one creatable coclass, VRXObj4, whose only (default)
// interface is the toolbar host's plug-in interface, referenced in the host's
// library (by its identifier, version and the host executable's file name)
// rather than copied.
//
//   make_bvrx_tlb <host executable with its type library> <output .tlb>
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <string>

#include "quillbox.h"

namespace {

// {CDAB5E96-1533-4BF4-BDCE-D08BFD81976F}
const GUID kLibId = {0xCDAB5E96, 0x1533, 0x4BF4, {0xBD, 0xCE, 0xD0, 0x8B, 0xFD, 0x81, 0x97, 0x6F}};
// {8A22DFAF-353B-4627-833C-B943F4B11814}
const GUID kClassId = {0x8A22DFAF, 0x353B, 0x4627, {0x83, 0x3C, 0xB9, 0x43, 0xF4, 0xB1, 0x18, 0x14}};
// {01C78433-6FDF-4E5A-A82D-B535C32E03DF}
const GUID kPluginIid = {0x01C78433, 0x6FDF, 0x4E5A, {0xA8, 0x2D, 0xB5, 0x35, 0xC3, 0x2E, 0x03, 0xDF}};

// The build passes host paths; under Wine the host's root is drive Z:.
std::wstring WinePath(const char* arg) {
  std::string path = arg;
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return std::wstring(path.begin(), path.end());
}

int Fail(const char* step, HRESULT hr) {
  std::fprintf(stderr, "make_bvrx_tlb: %s failed (0x%08lx)\n", step, static_cast<unsigned long>(hr));
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_bvrx_tlb host.exe out.tlb\n");
    return 2;
  }
  if (FAILED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 1;
  const std::wstring hostPath = WinePath(argv[1]);
  const std::wstring outPath = WinePath(argv[2]);
  int rc = 0;
  {
    ITypeLib* hostLib = nullptr;
    HRESULT hr = ::LoadTypeLibEx(hostPath.c_str(), REGKIND_NONE, &hostLib);
    if (FAILED(hr)) return Fail("LoadTypeLibEx(host)", hr);
    ITypeInfo* pluginInfo = nullptr;
    hr = hostLib->GetTypeInfoOfGuid(kPluginIid, &pluginInfo);
    if (FAILED(hr)) return Fail("GetTypeInfoOfGuid(plug-in interface)", hr);

    ::DeleteFileW(outPath.c_str());
    ICreateTypeLib2* lib = nullptr;
    // The library describes the program of this build's own word size.
    hr = ::CreateTypeLib2(sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32, outPath.c_str(), &lib);
    if (FAILED(hr)) return Fail("CreateTypeLib2", hr);
    lib->SetGuid(kLibId);
    lib->SetName(const_cast<LPOLESTR>(L"BVRX"));
    lib->SetVersion(1, 0);
    lib->SetLcid(0x409);
    lib->SetDocString(const_cast<LPOLESTR>(L"Brindle VRX Library"));

    ICreateTypeInfo* coclass = nullptr;
    hr = lib->CreateTypeInfo(const_cast<LPOLESTR>(L"VRXObj4"), TKIND_COCLASS, &coclass);
    if (FAILED(hr)) return Fail("CreateTypeInfo(VRXObj4)", hr);
    coclass->SetGuid(kClassId);
    coclass->SetTypeFlags(TYPEFLAG_FCANCREATE);
    HREFTYPE ref = 0;
    hr = coclass->AddRefTypeInfo(pluginInfo, &ref);
    if (FAILED(hr)) return Fail("AddRefTypeInfo", hr);
    hr = coclass->AddImplType(0, ref);
    if (FAILED(hr)) return Fail("AddImplType", hr);
    hr = coclass->SetImplTypeFlags(0, IMPLTYPEFLAG_FDEFAULT);
    if (FAILED(hr)) return Fail("SetImplTypeFlags", hr);
    hr = coclass->LayOut();
    if (FAILED(hr)) return Fail("LayOut", hr);
    hr = lib->SaveAllChanges();
    if (FAILED(hr)) rc = Fail("SaveAllChanges", hr);
    coclass->Release();
    lib->Release();
    pluginInfo->Release();
    hostLib->Release();
  }
  ::CoUninitialize();
  return rc;
}
