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

// Forwards a command to the plug-in: "CLEAN" (clean up now), "PREVIEW" (what
// a clean-up would remove) or "COOKIES" (the cookie keep-list).
function ButtonCommand(command) {
  try { cfg.ButtonClick(sPlugin, command); } catch (e) {}
  return false;
}

// The last clean-up as the program keeps it in LAST_CLEAN, one line of
// fields separated by ";": the format "1", the local time the pass ended
// ("2026-12-07 22:30:15"), then per item KEY=COUNT,BYTES. The page says what
// the program says ("Last clean-up: 2026-12-07 22:30, 15 items, 34.8 KB
// freed") and says nothing for a text that is not a whole report.
function IsDigits(text, most) {
  return text.length > 0 && text.length <= most && /^[0-9]+$/.test(text);
}

function IsLeapYear(year) {
  return (year % 4 === 0 && year % 100 !== 0) || year % 400 === 0;
}

function IsReportTime(text) {
  if (!/^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}$/.test(text)) return false;
  var year = parseInt(text.substr(0, 4), 10), month = parseInt(text.substr(5, 2), 10);
  var day = parseInt(text.substr(8, 2), 10);
  var days = [31, IsLeapYear(year) ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31];
  return year >= 100 && month >= 1 && month <= 12 && day >= 1 && day <= days[month - 1] &&
      parseInt(text.substr(11, 2), 10) <= 23 && parseInt(text.substr(14, 2), 10) <= 59 &&
      parseInt(text.substr(17, 2), 10) <= 59;
}

function CountText(count, one, many) {
  return String(count) + " " + (count === 1 ? one : many);
}

// One decimal, a half going to the even digit, as the program prints it.
function OneDecimal(value) {
  var tenths = value * 10, whole = Math.floor(tenths);
  if (tenths - whole === 0.5) tenths = whole % 2 === 0 ? whole : whole + 1;
  else tenths = Math.round(tenths);
  return String(Math.floor(tenths / 10)) + "." + String(tenths % 10);
}

function SizeText(bytes) {
  if (bytes < 1024) return CountText(bytes, "byte", "bytes");
  var units = ["KB", "MB", "GB", "TB"], value = bytes / 1024, unit = 0;
  while (value >= 1023.95 && unit + 1 < units.length) {
    value /= 1024;
    unit++;
  }
  return OneDecimal(value) + " " + units[unit];
}

function LastCleanLine(text) {
  var fields = String(text).split(";");
  if (fields.length < 2 || fields[0] !== "1" || !IsReportTime(fields[1])) return "";
  var count = 0, bytes = 0, seen = {};
  for (var i = 2; i < fields.length; i++) {
    var equals = fields[i].indexOf("=");
    var comma = fields[i].indexOf(",", equals < 0 ? 0 : equals);
    if (equals < 0 || comma < 0) return "";
    var key = fields[i].substring(0, equals);
    var itemCount = fields[i].substring(equals + 1, comma), itemBytes = fields[i].substring(comma + 1);
    if (!/^[A-Z0-9_]{1,64}$/.test(key) || !IsDigits(itemCount, 15) || !IsDigits(itemBytes, 15) ||
        Object.prototype.hasOwnProperty.call(seen, key)) {
      return "";
    }
    seen[key] = true;
    count += parseInt(itemCount, 10);
    bytes += parseInt(itemBytes, 10);
  }
  return "Last clean-up: " + fields[1].substr(0, 16) + ", " + CountText(count, "item", "items") +
      ", " + SizeText(bytes) + " freed";
}

function ShowLastClean() {
  var line = document.getElementById("LAST_CLEAN");
  if (!line) return;
  var text = "";
  try { text = LastCleanLine(HostStr("LAST_CLEAN")); } catch (e) {}
  line.innerHTML = "";
  line.appendChild(document.createTextNode(text));
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
  ShowLastClean();
}

window.onload = InitPage;
