// The script shared by Sentrova's three settings pages (resource SCRIPTJS).
//
// The pages hold no settings of their own: every control reads its value from
// the toolbar host's page object, embedded in each page as "cfg", and writes
// a change straight back to it under the plug-in name "VRX". The program
// learns of the change from the host.
//
// A control's element id is its configuration key:
//   check box        GetCfgBool(plug-in, key, 0)   / SetCfgBool(plug-in, key, ticked, 1)
//   radio buttons    GetCfgInt(plug-in, key, 0)    / SetCfgInt(plug-in, key, value, 1)
//                    (the buttons share the key as their name; values 1 and 0)
//   text box         GetCfgStr(plug-in, key, 1)    / SetCfgStr(plug-in, key, text, 1) when left
//   selection        GetCfgStr(plug-in, key, 1)    / SetCfgStr(plug-in, key, value, 1) when changed
// A disabled control shows its value and is never written.
//
// The script must run in the browser's old engine as well as in a current
// one: plain functions and var, element.onclick handlers, no newer APIs.
// Every call into the host is guarded: a page without its host shows its
// controls unticked and does nothing when they change.

var sPlugin = "VRX";

// Help topics open under this address when the host has no SETTINGS_HELP.
var sHelpPortal = "https://support.brindle-soft.example/portal/?p=sentrova&t=settings&i=";
var sHelpUrl = "";

var sResetQuestion =
    "If you restore default settings, all your personal settings will be lost.\n" +
    "Are you sure you want to restore all default settings?";

function Trim(text) {
  return String(text).replace(/^\s+|\s+$/g, "");
}

// The host answers booleans as VARIANT_BOOL (true or -1), but a value stored
// as text or as an integer must read the same way: any non-zero is on.
function IsOn(value) {
  if (typeof value === "string") {
    value = Trim(value).toLowerCase();
    return value !== "" && value !== "0" && value !== "false";
  }
  return !!value;
}

function HostStart() {
  try { cfg.StartSettings(sPlugin); } catch (e) {}
}

function HostBool(key) {
  try { return IsOn(cfg.GetCfgBool(sPlugin, key, 0)); } catch (e) { return false; }
}

function HostInt(key) {
  try {
    var value = parseInt(cfg.GetCfgInt(sPlugin, key, 0), 10);
    return isNaN(value) ? 0 : value;
  } catch (e) {
    return 0;
  }
}

function HostStr(key) {
  try {
    var value = cfg.GetCfgStr(sPlugin, key, 1);
    return value === null || value === undefined ? "" : String(value);
  } catch (e) {
    return "";
  }
}

function SetHostBool(key, ticked) {
  try { cfg.SetCfgBool(sPlugin, key, ticked, 1); } catch (e) {}
}

function SetHostInt(key, value) {
  try { cfg.SetCfgInt(sPlugin, key, value, 1); } catch (e) {}
}

function SetHostStr(key, text) {
  try { cfg.SetCfgStr(sPlugin, key, text, 1); } catch (e) {}
}

// The start page as the browser needs it: an empty entry is the blank page;
// an entry with no ":", or whose first ":" comes after the eleventh character
// (a bare host with a port, "www.example.com:8080/"), gets "http://" in front;
// anything else ("https://...", "about:blank") is kept as typed. Surrounding
// blanks, which a pasted address often carries, are dropped first.
function NormalizeHomeUrl(text) {
  text = Trim(text);
  if (text === "") return "about:blank";
  var colon = text.indexOf(":");
  if (colon < 0 || colon >= 11) return "http://" + text;
  return text;
}

function BindCheckBox(box) {
  box.checked = HostBool(box.id);
  if (box.disabled) return;
  box.onclick = function () { SetHostBool(this.id, this.checked); };
}

// A pair of radio buttons with values 1 and 0: the program itself writes the
// switch as a boolean (-1 for on), so any non-zero value selects the 1 button.
function BindRadio(radio) {
  var stored = HostInt(radio.name);
  radio.checked = (parseInt(radio.value, 10) !== 0) === (stored !== 0);
  if (radio.disabled) return;
  radio.onclick = function () { SetHostInt(this.name, parseInt(this.value, 10)); };
}

function BindTextBox(box) {
  box.value = HostStr(box.id);
  if (box.disabled) return;
  box.onchange = function () {
    var text = this.id === "HOME_URL" ? NormalizeHomeUrl(this.value) : this.value;
    this.value = text;
    SetHostStr(this.id, text);
  };
}

// A selection keeps the option that the page preselects unless the stored
// text names one of its options (compared without blanks and case, as the
// program reads them).
function BindSelection(list) {
  var stored = Trim(HostStr(list.id)).toLowerCase();
  for (var i = 0; i < list.options.length; i++) {
    if (list.options[i].value.toLowerCase() === stored) {
      list.selectedIndex = i;
      break;
    }
  }
  if (list.disabled) return;
  list.onchange = function () { SetHostStr(this.id, this.options[this.selectedIndex].value); };
}

function BindControls() {
  var inputs = document.getElementsByTagName("input");
  for (var i = 0; i < inputs.length; i++) {
    var type = String(inputs[i].type).toLowerCase();
    if (type === "checkbox" && inputs[i].id) BindCheckBox(inputs[i]);
    else if (type === "radio" && inputs[i].name) BindRadio(inputs[i]);
    else if (type === "text" && inputs[i].id) BindTextBox(inputs[i]);
  }
  var lists = document.getElementsByTagName("select");
  for (var j = 0; j < lists.length; j++) {
    if (lists[j].id) BindSelection(lists[j]);
  }
}

// "What's this?": the help topic in a window of its own that the page does
// not wait for. The old engine has modeless dialogs; a current browser gets
// a resizable pop-up of the same size.
function ShowHelp(topic) {
  var address = (sHelpUrl !== "" ? sHelpUrl : sHelpPortal) + topic;
  try {
    if (window.showModelessDialog) {
      window.showModelessDialog(address, null,
          "dialogWidth:790px;dialogHeight:540px;resizable:yes;status:no;help:no");
    } else {
      window.open(address, "SentrovaHelp",
          "width=790,height=540,resizable=yes,scrollbars=yes");
    }
  } catch (e) {}
  return false;
}

// Forwards a command to the plug-in: "CLEAN" (clean up now) or "COOKIES"
// (the cookie keep-list).
function ButtonCommand(command) {
  try { cfg.ButtonClick(sPlugin, command); } catch (e) {}
  return false;
}

function RestoreDefaults() {
  if (!window.confirm(sResetQuestion)) return false;
  try { cfg.ResetDefault(sPlugin); } catch (e) {}
  window.location.reload();
  return false;
}

function InitPage() {
  HostStart();
  sHelpUrl = Trim(HostStr("SETTINGS_HELP"));
  BindControls();
}

window.onload = InitPage;
