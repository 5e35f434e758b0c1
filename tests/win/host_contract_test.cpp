// ctest: serial
// The toolbar host's type library (as qbhost.exe carries it) and the
// program's own (as sentrova.exe carries it): slot numbers, argument types,
// identifiers, and the reference from the program's coclass to the host's
// plug-in interface. Also the plug-in object's automation through them.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <map>
#include <string>
#include <vector>

#include "host/host_contract.h"
#include "host/plugin_object.h"
#include "platform/com.h"
#include "state/process_state.h"
#include "win/host_test_support.h"

namespace sentrova {
namespace {

using test::BinDir;

std::string TypeText(const TYPEDESC& t) {
  switch (t.vt) {
    case VT_BSTR: return "BSTR";
    case VT_I4: return "I4";
    case VT_I2: return "I2";
    case VT_BOOL: return "BOOL";
    case VT_DATE: return "DATE";
    case VT_UI1: return "UI1";
    case VT_HRESULT: return "HRESULT";
    case VT_PTR: return TypeText(*t.lptdesc) + "*";
    case VT_SAFEARRAY: return TypeText(*t.lptdesc) + "[]";
    default: return "vt" + std::to_string(t.vt);
  }
}

struct Method {
  int slot;
  std::vector<std::string> params;
};

// Name -> slot and argument types, read from the vtable view of a dual interface.
std::map<std::string, Method> Methods(ITypeLib* lib, const IID& iid, int* funcCount) {
  std::map<std::string, Method> methods;
  ComPtr<ITypeInfo> info;
  if (FAILED(lib->GetTypeInfoOfGuid(iid, info.put()))) return methods;
  HREFTYPE ref = 0;
  ComPtr<ITypeInfo> vtable;
  if (SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref)) &&
      SUCCEEDED(info->GetRefTypeInfo(ref, vtable.put()))) {
    info = vtable;
  }
  TYPEATTR* attr = nullptr;
  if (FAILED(info->GetTypeAttr(&attr))) return methods;
  *funcCount = attr->cFuncs;
  for (UINT i = 0; i < attr->cFuncs; ++i) {
    FUNCDESC* f = nullptr;
    if (FAILED(info->GetFuncDesc(i, &f))) continue;
    Bstr name;
    info->GetDocumentation(f->memid, name.put(), nullptr, nullptr, nullptr);
    Method m;
    m.slot = f->oVft / static_cast<int>(sizeof(void*));
    for (SHORT p = 0; p < f->cParams; ++p) m.params.push_back(TypeText(f->lprgelemdescParam[p].tdesc));
    EXPECT_EQ(TypeText(f->elemdescFunc.tdesc), "HRESULT") << name.Ansi();
    methods[name.Ansi()] = m;
    info->ReleaseFuncDesc(f);
  }
  info->ReleaseTypeAttr(attr);
  return methods;
}

class HostContract : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(test::RegisterStandInHost()); }
  void SetUp() override {
    const std::wstring host = AnsiToWide(BinDir() + "qbhost.exe");
    ASSERT_HRESULT_SUCCEEDED(::LoadTypeLibEx(host.c_str(), REGKIND_NONE, hostLib_.put()));
  }
  ComApartment com_;
  ComPtr<ITypeLib> hostLib_;
};

TEST_F(HostContract, HostLibraryIdentity) {
  TLIBATTR* attr = nullptr;
  ASSERT_HRESULT_SUCCEEDED(hostLib_->GetLibAttr(&attr));
  EXPECT_TRUE(IsEqualGUID(attr->guid, kHostLibraryId));
  EXPECT_EQ(attr->wMajorVerNum, 1);
  EXPECT_EQ(attr->wMinorVerNum, 0);
  hostLib_->ReleaseTLibAttr(attr);
  ComPtr<ITypeInfo> service;
  ASSERT_HRESULT_SUCCEEDED(hostLib_->GetTypeInfoOfGuid(kHostServiceClassId, service.put()));
}

TEST_F(HostContract, ServiceOperationsSitAtTheirSlots) {
  int count = 0;
  auto m = Methods(hostLib_.get(), kHostServiceInterfaceId, &count);
  const std::map<std::string, Method> expected = {
      {"ReadBool", {7, {"BSTR", "BSTR", "I4", "BOOL*"}}},
      {"ReadInt", {8, {"BSTR", "BSTR", "I4", "I4*"}}},
      {"ReadStr", {9, {"BSTR", "BSTR", "I4", "BSTR*"}}},
      {"ReadDate", {10, {"BSTR", "BSTR", "I4", "DATE*"}}},
      {"WriteBool", {11, {"BSTR", "BSTR", "BOOL", "BOOL"}}},
      {"WriteInt", {12, {"BSTR", "BSTR", "I4", "BOOL"}}},
      {"WriteStr", {13, {"BSTR", "BSTR", "BSTR", "BOOL"}}},
      {"WriteDate", {14, {"BSTR", "BSTR", "DATE", "BOOL"}}},
      {"Commit", {21, {"BSTR"}}},
      {"SetButtonCaption", {28, {"BSTR", "I4", "BSTR", "BSTR"}}},
      {"ShowButton", {30, {"BSTR", "I4", "BSTR", "I4"}}},
      {"SetMenu", {31, {"BSTR", "I4", "BSTR", "BSTR"}}},
      {"SetButtonImage", {33, {"BSTR", "I4", "BSTR", "BSTR", "BSTR"}}},
      {"OpenHtmlWindow", {48, {"BSTR", "BSTR", "BSTR", "I4", "I4", "I4", "I4", "I4", "I4*"}}},
  };
  for (const auto& [name, want] : expected) {
    ASSERT_TRUE(m.count(name)) << name;
    EXPECT_EQ(m[name].slot, want.slot) << name;
    EXPECT_EQ(m[name].params, want.params) << name;
  }
  // Slots 7 to 48 without gaps.
  EXPECT_EQ(count, 42);
  std::vector<bool> seen(49, false);
  for (const auto& [name, method] : m) {
    ASSERT_GE(method.slot, 7) << name;
    ASSERT_LE(method.slot, 48) << name;
    EXPECT_FALSE(seen[method.slot]) << name;
    seen[method.slot] = true;
  }
}

TEST_F(HostContract, PluginMethodsSitAtSlotsSevenToTwentyFour) {
  int count = 0;
  auto m = Methods(hostLib_.get(), kPluginInterfaceId, &count);
  const std::map<std::string, Method> expected = {
      {"GetPluginName", {7, {"BSTR*"}}},
      {"SetInstanceId", {8, {"BSTR"}}},
      {"Connect", {9, {"I4*"}}},
      {"GetButtonInfo",
       {10, {"I4", "I4*", "I4*", "BSTR*", "BSTR*", "BSTR*", "UI1[]*", "BSTR*", "BSTR*", "UI1[]*",
             "I4*"}}},
      {"GetSettingsPages", {11, {"BSTR*", "UI1[]*"}}},
      {"GetInfo", {12, {"BSTR", "I4", "BSTR*"}}},
      {"Reserved13", {13, {"I4", "I4", "I4"}}},
      {"Reserved14", {14, {"BSTR*"}}},
      {"GetAboutUrl", {15, {"BSTR*"}}},
      {"GetHelpUrl", {16, {"BSTR*"}}},
      {"SettingsButtonClick", {17, {"BSTR"}}},
      {"MenuCommand", {18, {"I4", "BSTR"}}},
      {"Reserved19", {19, {"I2*"}}},
      {"GetDefaults", {20, {"BSTR*"}}},
      {"HostStarted", {21, {}}},
      {"EnablePlugin", {22, {}}},
      {"DisablePlugin", {23, {}}},
      {"ConfigChanged", {24, {}}},
  };
  EXPECT_EQ(count, 18);
  for (const auto& [name, want] : expected) {
    ASSERT_TRUE(m.count(name)) << name;
    EXPECT_EQ(m[name].slot, want.slot) << name;
    EXPECT_EQ(m[name].params, want.params) << name;
  }
}

TEST_F(HostContract, ProgramLibraryRefersToTheHostsPluginInterface) {
  const std::wstring exe = AnsiToWide(BinDir() + "sentrova.exe");
  ComPtr<ITypeLib> lib;
  ASSERT_HRESULT_SUCCEEDED(::LoadTypeLibEx(exe.c_str(), REGKIND_NONE, lib.put()));
  TLIBATTR* attr = nullptr;
  ASSERT_HRESULT_SUCCEEDED(lib->GetLibAttr(&attr));
  EXPECT_TRUE(IsEqualGUID(attr->guid, kBvrxLibraryId));
  EXPECT_EQ(attr->wMajorVerNum, 1);
  EXPECT_EQ(attr->wMinorVerNum, 0);
  EXPECT_EQ(attr->lcid, 0x409u);
  lib->ReleaseTLibAttr(attr);
  Bstr name;
  Bstr doc;
  ASSERT_HRESULT_SUCCEEDED(lib->GetDocumentation(-1, name.put(), doc.put(), nullptr, nullptr));
  EXPECT_EQ(name.Ansi(), "BVRX");
  EXPECT_EQ(doc.Ansi(), "Brindle VRX Library");

  // One coclass and no interface of its own.
  ASSERT_EQ(lib->GetTypeInfoCount(), 1u);
  ComPtr<ITypeInfo> coclass;
  ASSERT_HRESULT_SUCCEEDED(lib->GetTypeInfo(0, coclass.put()));
  TYPEATTR* ta = nullptr;
  ASSERT_HRESULT_SUCCEEDED(coclass->GetTypeAttr(&ta));
  EXPECT_EQ(ta->typekind, TKIND_COCLASS);
  EXPECT_TRUE(IsEqualGUID(ta->guid, kVrxObjClassId));
  EXPECT_TRUE(ta->wTypeFlags & TYPEFLAG_FCANCREATE);
  EXPECT_EQ(ta->cImplTypes, 1);
  coclass->ReleaseTypeAttr(ta);
  Bstr className;
  coclass->GetDocumentation(MEMBERID_NIL, className.put(), nullptr, nullptr, nullptr);
  EXPECT_EQ(className.Ansi(), "VRXObj4");
  INT flags = 0;
  ASSERT_HRESULT_SUCCEEDED(coclass->GetImplTypeFlags(0, &flags));
  EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT);

  HREFTYPE ref = 0;
  ASSERT_HRESULT_SUCCEEDED(coclass->GetRefTypeOfImplType(0, &ref));
  ComPtr<ITypeInfo> plugin;
  ASSERT_HRESULT_SUCCEEDED(coclass->GetRefTypeInfo(ref, plugin.put()));
  ASSERT_HRESULT_SUCCEEDED(plugin->GetTypeAttr(&ta));
  EXPECT_TRUE(IsEqualGUID(ta->guid, kPluginInterfaceId));
  plugin->ReleaseTypeAttr(ta);
  ComPtr<ITypeLib> container;
  UINT index = 0;
  ASSERT_HRESULT_SUCCEEDED(plugin->GetContainingTypeLib(container.put(), &index));
  ASSERT_HRESULT_SUCCEEDED(container->GetLibAttr(&attr));
  EXPECT_TRUE(IsEqualGUID(attr->guid, kHostLibraryId));
  container->ReleaseTLibAttr(attr);
}

// The plug-in object answers through the type library as well as through its vtable.
TEST_F(HostContract, PluginObjectAnswersThroughAutomation) {
  State().DefaultsText.Set("RUN_AUTO=0\r\n\r\n");
  ComPtr<ITB4Plugin> plugin;
  ASSERT_HRESULT_SUCCEEDED(
      VrxObjFactory()->CreateInstance(nullptr, kPluginInterfaceId, plugin.put_void()));
  ComPtr<IDispatch> dispatch;
  ASSERT_HRESULT_SUCCEEDED(plugin.As(IID_IDispatch, dispatch));
  UINT count = 0;
  ASSERT_HRESULT_SUCCEEDED(dispatch->GetTypeInfoCount(&count));
  ASSERT_EQ(count, 1u);

  auto callOut = [&](const wchar_t* method) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(method)};
    DISPID id = 0;
    EXPECT_HRESULT_SUCCEEDED(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0x409, &id));
    BSTR out = nullptr;
    VARIANT arg;
    ::VariantInit(&arg);
    arg.vt = VT_BSTR | VT_BYREF;
    arg.pbstrVal = &out;
    DISPPARAMS params{&arg, nullptr, 1, 0};
    EXPECT_HRESULT_SUCCEEDED(
        dispatch->Invoke(id, IID_NULL, 0x409, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr));
    return Bstr::Attach(out).Ansi();
  };
  EXPECT_EQ(callOut(L"GetPluginName"), "VRX");
  EXPECT_EQ(callOut(L"GetDefaults"), "RUN_AUTO=0\r\n\r\n");

  // Before the program runs, Connect answers 0; the captions come from
  // start-up, so the long name is still empty.
  LONG connected = 7;
  EXPECT_HRESULT_SUCCEEDED(plugin->Connect(&connected));
  EXPECT_EQ(connected, 0);
  wchar_t stale[] = L"stale";  // an out-parameter must be overwritten, never freed
  BSTR info = stale;
  BSTR infoName = ::SysAllocString(L"LONGNAME");
  EXPECT_HRESULT_SUCCEEDED(plugin->GetInfo(infoName, 0, &info));
  EXPECT_NE(info, stale);
  EXPECT_EQ(Bstr::Attach(info).Ansi(), "");
  ::SysFreeString(infoName);

  EXPECT_FALSE(State().HostReady);
  EXPECT_HRESULT_SUCCEEDED(plugin->HostStarted());
  EXPECT_TRUE(State().HostReady);
  EXPECT_TRUE(InstanceListExists());
}

}  // namespace
}  // namespace sentrova
