#include "page_export.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host/resource_text.h"

namespace qbhost {
namespace {

constexpr WORD kHtmlType = 23;

// The stand-in for the host's page object, put in front of the pages' shared
// script. "%DEFAULTS%" becomes the program's defaults as an object literal.
constexpr char kStandIn[] = R"js(// Written by "qbhost pages": a stand-in for the toolbar host's page object.
// These pages are not connected to a host: the settings start from the
// defaults that sentrova.exe carries and live in this page until it is
// closed or reloaded; the buttons' commands go nowhere.
var cfg = (function (defaults) {
  var values = {};
  function reset() {
    values = {};
    for (var key in defaults) values[key] = defaults[key];
  }
  function has(key) { return Object.prototype.hasOwnProperty.call(values, key); }
  function notice() {
    var bar = document.createElement("div");
    bar.style.cssText = "padding:6px 14px;font-size:11px;line-height:15px;color:#5c4400;" +
        "background:#fff4d1;border-bottom:1px solid #e8cf86";
    bar.appendChild(document.createTextNode("Not connected to a toolbar host: changes are kept " +
        "in this page only, until it is closed or reloaded."));
    document.body.insertBefore(bar, document.body.firstChild);
  }
  reset();
  return {
    StartSettings: function () { notice(); },
    GetCfgBool: function (p, key, def) { return has(key) ? parseInt(values[key], 10) !== 0 : def !== 0; },
    GetCfgInt: function (p, key, def) { return has(key) ? parseInt(values[key], 10) || 0 : def; },
    GetCfgStr: function (p, key) { return has(key) ? values[key] : ""; },
    SetCfgBool: function (p, key, on) { values[key] = on ? "-1" : "0"; },
    SetCfgInt: function (p, key, value) { values[key] = String(value); },
    SetCfgStr: function (p, key, text) { values[key] = String(text); },
    ResetDefault: function () { reset(); },
    ButtonClick: function (p, command) {
      window.alert("Not connected to a toolbar host: the command " + command +
          " is not sent to Sentrova.");
    }
  };
})(%DEFAULTS%);

)js";

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

// A JavaScript string literal; the defaults are plain text, but a quote or a
// backslash in a value must not end the literal.
std::string JsString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == '<') {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

BOOL CALLBACK CollectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR names) {
  if (!IS_INTRESOURCE(name)) reinterpret_cast<std::vector<std::string>*>(names)->push_back(name);
  return TRUE;
}

std::string ResourceBytes(HMODULE module, LPCSTR name, LPCSTR type) {
  HRSRC info = ::FindResourceA(module, name, type);
  HGLOBAL data = info ? ::LoadResource(module, info) : nullptr;
  const void* bytes = data ? ::LockResource(data) : nullptr;
  return bytes ? std::string(static_cast<const char*>(bytes), ::SizeofResource(module, info))
               : std::string();
}

// The defaults text's NAME=VALUE lines (DEFSET, then CONFIG) as an object literal.
std::string DefaultsLiteral(HMODULE module) {
  std::string literal = "{";
  for (const char* part : {"DEFSET", "CONFIG"}) {
    for (const std::string& line : sentrova::ResourceLines(ResourceBytes(module, part, RT_RCDATA))) {
      const size_t eq = line.find('=');
      if (eq == std::string::npos || eq == 0) continue;
      literal += (literal.size() > 1 ? ",\n  " : "\n  ") + JsString(line.substr(0, eq)) + ": " +
                 JsString(line.substr(eq + 1));
    }
  }
  return literal + "\n}";
}

std::string Extension(const std::string& lowerName, const std::string& bytes) {
  if (bytes.compare(0, 4, "GIF8") == 0) return ".gif";
  if (EndsWith(lowerName, "css")) return ".css";
  if (EndsWith(lowerName, "js")) return ".js";
  return ".html";
}

std::string Title(const std::string& page, const std::string& fallback) {
  const size_t start = page.find("<title>");
  const size_t end = page.find("</title>");
  if (start == std::string::npos || end == std::string::npos || end < start) return fallback;
  return page.substr(start + 7, end - start - 7);
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  ::CloseHandle(file);
  return ok && written == bytes.size();
}

struct PageFile {
  std::string name;   // the lower-case resource name, as the pages refer to it
  std::string file;   // the name written
  std::string bytes;
};

}  // namespace

int ExportPages(const std::string& programFile, const std::string& folder) {
  HMODULE module = ::LoadLibraryExA(programFile.c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!module) {
    std::printf("cannot read %s\n", programFile.c_str());
    return 1;
  }
  std::vector<std::string> names;
  ::EnumResourceNamesA(module, MAKEINTRESOURCEA(kHtmlType), CollectName,
                       reinterpret_cast<LONG_PTR>(&names));
  std::vector<PageFile> all;
  for (const std::string& name : names) {
    PageFile f{Lower(name), "", ResourceBytes(module, name.c_str(), MAKEINTRESOURCEA(kHtmlType))};
    f.file = f.name + Extension(f.name, f.bytes);
    all.push_back(std::move(f));
  }
  // The pages, then whatever a page or a style sheet already taken refers to
  // (the program keeps other pictures under the same resource type).
  std::vector<PageFile> files;
  for (PageFile& f : all) {
    if (Lower(f.bytes.substr(0, 15)) == "<!doctype html>") files.push_back(f);
  }
  for (size_t taken = 0; taken != files.size();) {
    taken = files.size();
    for (const PageFile& f : all) {
      bool wanted = false, have = false;
      for (const PageFile& t : files) {
        have = have || t.name == f.name;
        wanted = wanted || t.bytes.find("\"" + f.name + "\"") != std::string::npos ||
                 t.bytes.find("(" + f.name + ")") != std::string::npos;
      }
      if (wanted && !have) files.push_back(f);
    }
  }
  const std::string standIn = kStandIn;
  std::string script = standIn.substr(0, standIn.find("%DEFAULTS%")) + DefaultsLiteral(module) +
                       standIn.substr(standIn.find("%DEFAULTS%") + 10);
  ::FreeLibrary(module);
  if (files.empty()) {
    std::printf("%s carries no settings pages\n", programFile.c_str());
    return 1;
  }

  char full[MAX_PATH * 2] = {};
  if (!::GetFullPathNameA(folder.c_str(), sizeof full, full, nullptr)) return 1;
  const int made = ::SHCreateDirectoryExA(nullptr, full, nullptr);
  if (made != ERROR_SUCCESS && made != ERROR_ALREADY_EXISTS && made != ERROR_FILE_EXISTS) {
    std::printf("cannot create %s\n", full);
    return 1;
  }
  std::string index =
      "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>Sentrova Settings</title>\n"
      "</head>\n<body style=\"font-family: 'Segoe UI', Tahoma, sans-serif; font-size: 13px\">\n"
      "<h1 style=\"font-size: 16px\">Sentrova Settings</h1>\n"
      "<p>The settings pages that sentrova.exe carries, with a stand-in for the toolbar "
      "host: they are not connected to a host.</p>\n<ul>\n";
  int rc = 0;
  for (PageFile& f : files) {
    const bool text = !EndsWith(f.file, ".gif");
    for (const PageFile& other : files) {
      if (!text || EndsWith(other.file, ".html")) continue;
      ReplaceAll(f.bytes, "\"" + other.name + "\"", "\"" + other.file + "\"");
      ReplaceAll(f.bytes, "(" + other.name + ")", "(" + other.file + ")");
    }
    if (EndsWith(f.file, ".js")) f.bytes = script + f.bytes;
    if (EndsWith(f.file, ".html")) {
      index += "<li><a href=\"" + f.file + "\">" + Title(f.bytes, f.name) + "</a></li>\n";
    }
    const std::string path = std::string(full) + "\\" + f.file;
    const bool ok = WriteBytes(path, f.bytes);
    std::printf("%s %s\n", ok ? "wrote" : "cannot write", path.c_str());
    if (!ok) rc = 1;
  }
  const std::string indexPath = std::string(full) + "\\index.html";
  const bool ok = WriteBytes(indexPath, index + "</ul>\n</body>\n</html>\n");
  std::printf("%s %s\n", ok ? "wrote" : "cannot write", indexPath.c_str());
  return ok ? rc : 1;
}

}  // namespace qbhost
