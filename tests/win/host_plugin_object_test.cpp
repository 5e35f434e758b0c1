// ctest: serial
// The plug-in object against the stand-in host's real service (its store and
// toolbar records in this prefix), with the program's actions recorded by a
// fake: button information per button mode, menu and settings pages, the
// button images, commands, enabling and disabling, and the clean-up when
// the last browser window closes.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "host/config.h"
#include "host/plugin_object.h"
#include "host/toolbar_texts.h"
#include "platform/com.h"
#include "platform/registry.h"
#include "platform/system_facts.h"
#include "state/control_objects.h"
#include "state/process_state.h"
#include "state/program_actions.h"
#include "win/browser_double.h"
#include "win/host_test_support.h"
#include "win/recorded_actions.h"

namespace sentrova {
namespace {

constexpr char kToolbarRecord[] = "Software\\Quillbox\\TB4\\Toolbar\\VRX\\VRX";
constexpr char kMenuText[] = "Clean Up Now=CLEAN\n-\nSettings=OPT\nHelp=HELP\nAbout=ABOUT";

using test::Calls;

// One plug-in object as the host holds it.
struct Plugin {
  ITB4Plugin* p;
  explicit Plugin(const char* id) : p(new TVRXObj) { p->SetInstanceId(Bstr::FromAnsi(id).get()); }
  ~Plugin() { Release(); }
  void Release() { p = p ? (p->Release(), nullptr) : nullptr; }
  LONG Connect() {
    LONG connected = -1;
    p->Connect(&connected);
    return connected;
  }
  std::string Info(const char* name) {
    Bstr value;
    p->GetInfo(Bstr::FromAnsi(name).get(), 0, value.put());
    return value.Ansi();
  }
};

class PluginObject : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    ASSERT_TRUE(test::RegisterStandInHost());
    BuildToolbarTexts();
  }
  void SetUp() override {
    test::RunAndWait(test::Quoted(test::QbhostExe()) + " clear", 60000);
    service_ = CreateHostService();
    config_ = std::make_unique<TConfig>(service_);
    InstallActions(&actions_);
    State().Running = true;
    State().Enabled = true;
    State().HostReady = true;
    State().CleanInProgress = false;
  }
  void TearDown() override { InstallActions(nullptr); }

  static std::string Record(const char* name) {
    return ReadRegString(HKEY_CURRENT_USER, kToolbarRecord, name, "(none)");
  }
  static int Visible() { return ReadRegInteger(HKEY_CURRENT_USER, kToolbarRecord, "Visible", 99); }

  ComPtr<ITB4Server> service_;
  std::unique_ptr<TConfig> config_;
  test::RecordedActions actions_;
};

std::vector<uint8_t> Bytes(SAFEARRAY* a) {
  std::vector<uint8_t> bytes = a ? SafeArrayBytes(a) : std::vector<uint8_t>{};
  if (a) ::SafeArrayDestroy(a);
  return bytes;
}

// Decodes a BMP file through the platform's loader: "WIDTHxHEIGHT".
std::string DecodedSize(const std::vector<uint8_t>& bmp) {
  test::ScratchDir dir;
  const std::string file = dir.File("button.bmp");
  test::WriteFileText(file, std::string(bmp.begin(), bmp.end()));
  HBITMAP b = static_cast<HBITMAP>(::LoadImageA(nullptr, file.c_str(), IMAGE_BITMAP, 0, 0,
                                                LR_LOADFROMFILE | LR_CREATEDIBSECTION));
  BITMAP info{};
  if (b) ::GetObjectA(b, sizeof info, &info);
  if (b) ::DeleteObject(b);
  return std::to_string(info.bmWidth) + "x" + std::to_string(info.bmHeight);
}

TEST_F(PluginObject, ButtonInfoPerModeAndObject) {
  struct Row {
    const char* id;
    bool enabled;
    LONG mode;
    const char* caption;  // the outs that depend on the row
    bool image;
    LONG visible;
  } rows[] = {
      {"1001", true, -1, "VRX", false, 0},   {"1001", true, 0, "VRX", false, 0},
      {"1001", true, 1, "", true, 1},        {"1001", true, 2, "VRX", false, 1},
      {"1001", true, 3, "VRX", true, 1},     {"1001", false, 1, "VRX", true, 0},
      {"SETTINGS", true, 1, "VRX", true, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.id) + " mode " + std::to_string(row.mode) +
                 (row.enabled ? "" : " disabled"));
    config_->SetBool("VRX_ALL", row.enabled, true);
    config_->SetInt("SHOW_VRX_BUTTON", row.mode, true);
    Plugin plugin(row.id);
    EXPECT_EQ(plugin.Connect(), 1);
    LONG width = 0, style = 0, visible = -1;
    Bstr descriptor, caption, tooltip, menu, longName;
    SAFEARRAY* image = nullptr;
    SAFEARRAY* large = nullptr;
    ASSERT_EQ(plugin.p->GetButtonInfo(0, &width, &style, descriptor.put(), caption.put(),
                                      tooltip.put(), &image, menu.put(), longName.put(), &large,
                                      &visible),
              S_OK);
    EXPECT_EQ(width, 600);
    EXPECT_EQ(style, 2);
    EXPECT_EQ(descriptor.Ansi(), "VRX:SHOW_VRX_BUTTON:VRX");
    EXPECT_EQ(caption.Ansi(), row.caption);
    EXPECT_EQ(tooltip.Ansi(), "Sentrova");
    EXPECT_EQ(Bytes(image).empty(), !row.image);
    EXPECT_EQ(menu.Ansi(), kMenuText);
    EXPECT_EQ(longName.Ansi(), "Sentrova");
    EXPECT_FALSE(Bytes(large).empty());
    EXPECT_EQ(visible, row.visible);
    // What Connect pushed to the host's button.
    EXPECT_EQ(Visible(), row.visible);
    if (row.visible) {
      EXPECT_EQ(Record("Caption"), row.mode > 1 ? "VRX" : "");
      EXPECT_EQ(Record("SET_BMP").empty(), !row.image);
    }
  }
}

TEST_F(PluginObject, PagesMenuAndImagesAsTheHostReadsThem) {
  config_->SetBool("SHOW_TRAY", true, true);  // the menu is pushed with the tray setting
  Plugin plugin("1001");
  plugin.Connect();
  Bstr pages;
  SAFEARRAY* image = nullptr;
  plugin.p->GetSettingsPages(pages.put(), &image);
  const std::string at = "=res://" + ProgramFileName() + "/";
  EXPECT_EQ(pages.Ansi(), "Sentrova" + at + "opt_general\r\nClean Up Settings" + at +
                              "opt_cleanup\r\nSecurity Monitoring" + at + "opt_security");
  const std::vector<uint8_t> bmp = Bytes(image);
  ASSERT_GE(bmp.size(), 54u);
  EXPECT_EQ(bmp[28], 32);  // bits per pixel
  EXPECT_EQ(DecodedSize(bmp), "16x16");
  EXPECT_EQ(Record("Menu"), kMenuText);
  // The pushed image text: hexadecimal of a BMP file that decodes to 16 x 16.
  const std::string hex = Record("SET_BMP");
  std::vector<uint8_t> decoded;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) decoded.push_back(std::stoi(hex.substr(i, 2), 0, 16));
  EXPECT_EQ(HexText(decoded), hex);
  EXPECT_EQ(DecodedSize(decoded), "16x16");
  EXPECT_EQ(Record("SET_CHEVRONBMP"), hex);
}

TEST_F(PluginObject, InfoAnswers) {
  Plugin plugin("1001");
  struct Row {
    const char* name;
    bool cleaning;
    const char* answer;
  } rows[] = {{"ALLOW_EXIT", false, "YES"}, {"ALLOW_EXIT", true, ""},
              {"LONGNAME", false, "Sentrova"}, {"INITEVENTS", false, ""},
              {"allow_exit", false, ""}};
  for (const Row& row : rows) {
    State().CleanInProgress = row.cleaning;
    EXPECT_EQ(plugin.Info(row.name), row.answer) << row.name << " " << row.cleaning;
  }
}

TEST_F(PluginObject, CommandsReachTheProgram) {
  struct Row {
    bool menu;
    const char* command;
    Calls calls;
  } rows[] = {
      {true, "CLEAN", {"StartCleanUp 1"}},   {true, "OPT", {"OpenSettings"}},
      {true, "SHOW_TRAY", {"SetTray 11"}},   {true, "HIDE_TRAY", {"SetTray 01"}},
      {true, "clean", {}},                   {true, "COOKIES", {}},
      {false, "CLEAN", {"StartCleanUp 1"}},  {false, "COOKIES", {"ShowCookiesDialog"}},
      {false, "PREVIEW", {"ShowCleanPreview"}}, {true, "PREVIEW", {}},
      {false, "preview", {}},                   {false, "OPT", {}},
  };
  Plugin plugin("4242");
  for (const Row& row : rows) {
    const Bstr command = Bstr::FromAnsi(row.command);
    if (row.menu) {
      plugin.p->MenuCommand(0, command.get());
    } else {
      plugin.p->SettingsButtonClick(command.get());
    }
    EXPECT_EQ(actions_.Take(), row.calls) << (row.menu ? "menu " : "button ") << row.command;
  }
  plugin.p->MenuCommand(0, Bstr(L"OPT").get());
  EXPECT_EQ(State().SettingsWindow.load(), reinterpret_cast<HWND>(4242));
}

TEST_F(PluginObject, HelpAndAboutOpenTheirAddressesAndABlankOneOpensNothing) {
  test::BrowserDouble browser;
  ASSERT_TRUE(browser.Registered());
  struct Row {
    const char* command;
    const char* help;
    const char* about;
    Calls calls;
  } rows[] = {
      {"HELP", "http://help.example.test/", "",
       {"Visible -1", "HWND", "Navigate2 http://help.example.test/"}},
      {"ABOUT", "", " http://about.example.test/ ",
       {"Visible -1", "HWND", "Navigate2 http://about.example.test/"}},
      {"HELP", " \t", "http://about.example.test/", {}},
      {"ABOUT", "http://help.example.test/", "", {}},
  };
  Plugin plugin("1001");
  for (const Row& row : rows) {
    State().HelpUrl.Set(row.help);
    State().AboutUrl.Set(row.about);
    EXPECT_HRESULT_SUCCEEDED(plugin.p->MenuCommand(0, Bstr::FromAnsi(row.command).get()));
    EXPECT_EQ(browser.Take(), row.calls) << row.command << " \"" << row.help << row.about << '"';
  }
  EXPECT_EQ(actions_.Take(), Calls{});
  State().HelpUrl.Set("");
  State().AboutUrl.Set("");
}

TEST_F(PluginObject, ConfigChangedReloadsTheObjectAndTellsLoopAndScanner) {
  KernelHandle refresh = OpenControlObject(kRefreshConfigEvent);
  KernelHandle reload = OpenControlObject(kScannerReloadEvent);
  ASSERT_TRUE(refresh && reload);
  Plugin plugin("1001");
  plugin.Connect();
  actions_.Take();
  for (KernelHandle* e : {&refresh, &reload}) ::ResetEvent(e->get());
  config_->SetInt("SHOW_VRX_BUTTON", 2, true);
  config_->SetBool("SHOW_TRAY", true, true);
  EXPECT_HRESULT_SUCCEEDED(plugin.p->ConfigChanged());
  EXPECT_EQ(Record("Caption"), "VRX");
  EXPECT_EQ(actions_.Take(), Calls{"SetTray 10"});
  for (KernelHandle* e : {&refresh, &reload}) {
    EXPECT_EQ(::WaitForSingleObject(e->get(), 0), WAIT_OBJECT_0);
  }
  // After DisablePlugin nothing is read and nothing signalled.
  plugin.p->DisablePlugin();
  actions_.Take();
  EXPECT_HRESULT_SUCCEEDED(plugin.p->ConfigChanged());
  EXPECT_EQ(actions_.Take(), Calls{});
  for (KernelHandle* e : {&refresh, &reload}) {
    EXPECT_EQ(::WaitForSingleObject(e->get(), 0), WAIT_TIMEOUT);
  }
}

TEST_F(PluginObject, EnableShowsAndDisableHidesButtonAndTray) {
  config_->SetBool("VRX_ALL", false, true);
  config_->SetInt("SHOW_VRX_BUTTON", 0, true);
  Plugin plugin("1001");
  plugin.Connect();
  actions_.Take();
  plugin.p->EnablePlugin();
  EXPECT_TRUE(State().Enabled);
  EXPECT_TRUE(config_->GetBool("VRX_ALL", 0));
  EXPECT_EQ(config_->GetInt("SHOW_VRX_BUTTON", -9), 1);
  EXPECT_EQ(Visible(), 1);
  EXPECT_EQ(actions_.Take(), Calls{"SetTray 11"});

  plugin.p->DisablePlugin();
  EXPECT_EQ(Visible(), 0);
  EXPECT_EQ(actions_.Take(), Calls{"SetTray 00"});  // SHOW_TRAY stays as it is
  EXPECT_FALSE(State().Running);                     // the run loop ends the process
  EXPECT_EQ(plugin.Connect(), 0);
}

TEST_F(PluginObject, LastRegisteredWindowStartsOneCleanUp) {
  config_->SetBool("RUN_ENDIE", true, true);
  for (int round = 0; round < 20; ++round) {
    Plugin settings("SETTINGS");  // the host's settings dialog never registers
    Plugin first("1001"), second("1002");
    for (Plugin* p : {&first, &second}) {
      p->Connect();
      p->Info("INITEVENTS");
    }
    actions_.Take();
    if (round == 0) {
      first.Release();
      EXPECT_EQ(actions_.Take(), Calls{});
      second.Release();
    } else {
      // Both windows close at once.
      std::thread other([&] { first.Release(); });
      second.Release();
      other.join();
    }
    settings.Release();
    EXPECT_EQ(actions_.Take(), Calls{"StartCleanUp 0"}) << "round " << round;
    EXPECT_TRUE(RegisteredInstances().empty());
  }
}

TEST_F(PluginObject, NoCleanUpAtBrowserEndWhenSwitchedOff) {
  config_->SetBool("RUN_ENDIE", false, true);
  Plugin last("1001");
  last.Connect();
  last.Info("INITEVENTS");
  actions_.Take();
  last.Release();
  EXPECT_EQ(actions_.Take(), Calls{});
  EXPECT_TRUE(RegisteredInstances().empty());
}

}  // namespace
}  // namespace sentrova
