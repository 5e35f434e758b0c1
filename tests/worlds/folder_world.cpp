#include "worlds/folder_world.h"

#include <shlobj.h>
#include <windows.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>

#include "cleanup/clean.h"
#include "host/config_keys.h"
#include "platform/com.h"
#include "win/host_test_support.h"

namespace sentrova::worlds {

namespace {

constexpr uint32_t kOddAttributes[] = {FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_HIDDEN,
                                       FILE_ATTRIBUTE_SYSTEM};

// ---------------------------------------------------------------- text ---

std::wstring Wide(const std::string& utf8) {
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
  std::wstring wide(n, L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), n);
  return wide;
}

std::string Utf8(std::wstring_view wide) {
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0,
                                      nullptr, nullptr);
  std::string text(n, '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), text.data(), n, nullptr,
                        nullptr);
  return text;
}

// A path as the W functions take it; long ones with the long-path prefix.
std::wstring Api(const std::string& path) {
  return path.size() >= 240 ? L"\\\\?\\" + Wide(path) : Wide(path);
}

std::string Lower(std::string text) {
  for (char& c : text) c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
  return text;
}

std::string Parent(const std::string& path) {
  const size_t slash = path.find_last_of('\\', path.size() > 3 ? path.size() - 2 : 0);
  return slash == std::string::npos ? path : path.substr(0, std::max<size_t>(slash, 3));
}

std::string Base(const std::string& path) { return path.substr(path.find_last_of('\\') + 1); }

std::string Join(const std::string& folder, const std::string& name) {
  return folder.back() == '\\' ? folder + name : folder + "\\" + name;
}

// ------------------------------------------------------- system folders ---

struct SystemFolders {
  std::string driveRoot = "C:\\";
  std::vector<std::string> guarded;  // always refused as places
  std::vector<std::string> known;    // the user's known folders
};

std::string FolderPath(int csidl) {
  wchar_t buffer[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, 0, buffer))) return {};
  return Utf8(buffer);
}

const SystemFolders& System() {
  static const SystemFolders folders = [] {
    SystemFolders f;
    wchar_t buffer[MAX_PATH] = {};
    ::GetWindowsDirectoryW(buffer, MAX_PATH);
    f.guarded.push_back(Utf8(buffer));
    ::GetSystemDirectoryW(buffer, MAX_PATH);
    f.guarded.push_back(Utf8(buffer));
    f.guarded.push_back(FolderPath(CSIDL_PROFILE));
    for (int csidl : {CSIDL_PERSONAL, CSIDL_APPDATA, CSIDL_LOCAL_APPDATA, CSIDL_DESKTOPDIRECTORY,
                      CSIDL_PROGRAM_FILES}) {
      const std::string path = FolderPath(csidl);
      if (!path.empty()) f.known.push_back(path);
    }
    return f;
  }();
  return folders;
}

// ------------------------------------------------------------ generator ---

class Builder {
 public:
  Builder(uint64_t seed, const WorldOptions& options)
      : rng_(seed * 0x9E3779B97F4A7C15ull + 0x2545F4914F6CDD1Dull), faults_(options.allShapes) {
    world_.seed = seed;
    world_.options = options;
    world_.root = "C:\\sentrova-worlds\\w" + std::to_string(seed);
  }

  World Build() {
    const size_t total = 50 + Below(451);
    Outside(std::max<size_t>(6, total / 10));
    const char* items[] = {"WIN_TEMP", "WIN_DOC", "WIN_DOWN"};
    const char* names[] = {"Temp", "Recent", "Downloaded Program Files"};
    for (int p = 0; p < 3; ++p) world_.places.push_back(MakePlace(items[p], names[p]));
    const size_t shares[] = {total / 2, total / 4, total / 4};
    for (int p = 0; p < 3; ++p) {
      if (!world_.places[p].real.empty()) Tree(p, shares[p]);
    }
    return std::move(world_);
  }

 private:
  size_t Below(size_t n) { return n == 0 ? 0 : size_t(rng_() % n); }
  bool Chance(int percent) { return int(Below(100)) < percent; }

  int Add(Entry entry) {
    world_.entries.push_back(std::move(entry));
    return int(world_.entries.size()) - 1;
  }
  std::string Path(int index, int place) const {
    return index >= 0 ? world_.entries[index].path : world_.places[place].real;
  }

  std::string Name(Kind kind) {
    const std::string id = std::to_string(world_.entries.size());
    const bool file = kind == Kind::File || kind == Kind::FileLink;
    const size_t style = Below(faults_ ? 7 : 6);
    switch (style) {
      case 0:
        return (file ? "f" : "d") + id + (file ? ".tmp" : "");
      case 1: {  // long
        std::string name = "a long name of some length " + id;
        const size_t length = 40 + Below(80);
        while (name.size() < length) name += " and more";
        return name + (file ? ".txt" : "");
      }
      case 2:
        return "New Folder (" + id + ")" + (file ? " copy.doc" : "");
      case 3:
        return "x" + id + ".part.tar" + (file ? ".gz" : "");
      case 4:
        return "A" + id + "~1" + (file ? ".TMP" : "");  // looks like a short name
      case 5:
        return "caf\xC3\xA9 na\xC3\xAFve " + id + (file ? ".lnk" : "");  // in the ANSI page
      default: {  // outside the ANSI code page
        const char* stems[] = {"\xD0\x94\xD0\xBE\xD0\xBA\xD1\x83\xD0\xBC\xD0\xB5\xD0\xBD\xD1\x82",
                               "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",
                               "\xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1"};
        return std::string(stems[Below(3)]) + " " + id + (file ? ".dat" : "");
      }
    }
  }

  uint32_t Attributes(bool folder) {
    uint32_t attributes = 0;
    const int odds[] = {folder ? 8 : 12, folder ? 8 : 10, folder ? 4 : 6};
    for (int i = 0; i < 3; ++i) {
      if (Chance(odds[i])) attributes |= kOddAttributes[i];
    }
    return attributes;
  }

  // A file and a folder (with a file) in a protected folder; returns the file.
  std::string Sentinel(const std::string& folder) {
    // Numbered: Wine's Desktop and Documents are one folder.
    auto [at, fresh] = planted_.try_emplace(Lower(folder), planted_.size());
    const std::string name =
        "sentrova-world-" + std::to_string(world_.seed) + "-" + std::to_string(at->second);
    const std::string file = Join(folder, name + ".txt");
    if (fresh) {
      Entry f{Kind::File, file};
      f.sentinel = true;
      Add(f);
      Entry d{Kind::Folder, Join(folder, name)};
      d.sentinel = true;
      const int parent = Add(d);
      Entry inner{Kind::File, Join(d.path, "keep.txt")};
      inner.sentinel = true;
      inner.parent = parent;
      Add(inner);
    }
    return file;
  }

  // Folders and files outside every place: targets of links.
  void Outside(size_t count) {
    const std::string base = world_.root + "\\out";
    std::vector<int> folders = {-1};
    for (size_t i = 0; i < count; ++i) {
      const int parent = folders[Below(folders.size())];
      const bool folder = Chance(35);
      Entry e{folder ? Kind::Folder : Kind::File,
              Join(parent < 0 ? base : world_.entries[parent].path,
                   Name(folder ? Kind::Folder : Kind::File))};
      e.parent = parent;
      const int index = Add(e);
      if (!folder) {
        outsideFiles_.push_back(e.path);
        continue;
      }
      folders.push_back(index);
      outsideFolders_.push_back(e.path);
      // An empty folder behind a link is a shape of its own.
      if (faults_ && Chance(30)) continue;
      Entry keep{Kind::File, Join(e.path, "keep" + std::to_string(index) + ".txt")};
      keep.parent = index;
      outsideFiles_.push_back(keep.path);
      Add(keep);
    }
  }

  std::string ProtectedTarget() {
    const SystemFolders& sys = System();
    std::vector<std::string> candidates = sys.guarded;
    candidates.push_back(sys.driveRoot);
    if (faults_) candidates.insert(candidates.end(), sys.known.begin(), sys.known.end());
    return candidates[Below(candidates.size())];
  }

  Place MakePlace(const std::string& item, const std::string& name) {
    Place place;
    place.item = item;
    const std::string at = Join(world_.root, name);
    const int r = int(Below(100));
    place.mode = r < 50   ? PlaceMode::Plain
                 : r < 62 ? PlaceMode::LinkHarmless
                 : r < 74 ? PlaceMode::ParentHarmless
                 : r < 82 ? PlaceMode::OddText
                 : r < 91 ? PlaceMode::LinkProtected
                          : PlaceMode::ParentProtected;
    if (!faults_ &&
        (place.mode == PlaceMode::LinkProtected || place.mode == PlaceMode::ParentProtected)) {
      place.mode = PlaceMode::Plain;
    }
    switch (place.mode) {
      case PlaceMode::Plain:
        place.text = place.real = at;
        break;
      case PlaceMode::LinkHarmless:
        place.text = place.link = at;
        place.real = place.linkTarget = Join(world_.root, "real " + name);
        break;
      case PlaceMode::ParentHarmless:
        place.link = Join(world_.root, "linked parent of " + name);
        place.linkTarget = Join(world_.root, "real parent of " + name);
        place.text = Join(place.link, name);
        place.real = Join(place.linkTarget, name);
        break;
      case PlaceMode::OddText: {
        place.emptied = false;
        const int odd = int(Below(faults_ ? 5 : 4));
        if (odd == 0) {  // a ".." part: the text names the place, but not plainly
          place.real = at;
          place.text = Join(Join(at, ".."), name);
          // The system hands the Temp folder over in its full form.
          place.emptied = item == "WIN_TEMP";
        } else if (odd == 4) {
          const auto& known = System().known;
          place.text = known[Below(known.size())];
          Sentinel(place.text);
        } else {
          place.text = odd == 1 ? System().driveRoot : System().guarded[Below(3)];
          Sentinel(place.text);
        }
        break;
      }
      case PlaceMode::LinkProtected:
        place.emptied = false;
        place.text = place.link = at;
        place.linkTarget = ProtectedTarget();
        Sentinel(place.linkTarget);
        break;
      case PlaceMode::ParentProtected: {
        place.emptied = false;
        std::string target = ProtectedTarget();
        if (target.size() <= 3) target = System().guarded[0];
        Sentinel(target);
        place.link = Join(world_.root, "linked parent of " + name);
        place.linkTarget = Parent(target);
        place.text = Join(place.link, Base(target));
        break;
      }
    }
    return place;
  }

  std::string FolderLinkTarget(int place, int parent, const std::vector<int>& folders) {
    const int r = int(Below(100));
    if (r < 20) return Path(folders[Below(folders.size())], place);
    if (r < 40)
      return outsideFolders_.empty() ? world_.root : outsideFolders_[Below(outsideFolders_.size())];
    if (r < 55) {
      const std::string target = ProtectedTarget();
      Sentinel(target);
      return target;
    }
    if (r < 75) {  // up the parent chain
      std::vector<std::string> chain = {Path(parent, place), world_.places[place].real, world_.root,
                                        System().guarded[2]};
      const std::string pick = chain[Below(chain.size())];
      if (pick == System().guarded[2]) Sentinel(pick);
      return pick;
    }
    // Another place's folder may be emptied by an earlier step: an empty
    // folder behind a link.
    if (r < 85 && faults_) {
      const Place& other = world_.places[Below(world_.places.size())];
      if (!other.real.empty()) return other.real;
    }
    return Join(world_.root, "nowhere " + std::to_string(world_.entries.size()));
  }

  std::string FileLinkTarget(const std::vector<int>& files) {
    const int r = int(Below(100));
    if (r < 30 && !files.empty()) return world_.entries[files[Below(files.size())]].path;
    if (r < 60 && !outsideFiles_.empty()) return outsideFiles_[Below(outsideFiles_.size())];
    if (r < 80) return Sentinel(ProtectedTarget());
    return Join(world_.root, "nowhere " + std::to_string(world_.entries.size()) + ".txt");
  }

  void Tree(int place, size_t count) {
    const size_t limit = faults_ ? 1000 : 235;
    std::vector<int> folders = {-1}, files;
    for (size_t i = 0; i < count; ++i) {
      // Deeper folders are favoured, so that trees grow several levels.
      const int parent =
          Chance(50) ? folders[folders.size() - 1 - Below(std::min<size_t>(4, folders.size()))]
                     : folders[Below(folders.size())];
      const int r = int(Below(100));
      const Kind kind = r < 20   ? Kind::Folder
                        : r < 82 ? Kind::File
                        : r < 91 ? Kind::FolderLink
                                 : Kind::FileLink;
      Entry e{kind, Join(Path(parent, place), Name(kind))};
      if (e.path.size() > limit) continue;
      e.place = place;
      e.parent = parent;
      if (kind == Kind::Folder || kind == Kind::File)
        e.attributes = Attributes(kind == Kind::Folder);
      if (kind == Kind::FolderLink) e.target = FolderLinkTarget(place, parent, folders);
      if (kind == Kind::FileLink) e.target = FileLinkTarget(files);
      if (kind == Kind::File || (faults_ && kind == Kind::Folder)) {
        const int pending = int(Below(100));
        if (pending < 6) {
          e.pending = Pending::Delete;
        } else if (pending < 10) {
          e.pending = Pending::RenameFrom;
          e.renameTo = RenameDestination(e.path, files);
        }
      }
      if (kind == Kind::File && Chance(4)) e.held = true;
      const int index = Add(e);
      if (kind == Kind::Folder) folders.push_back(index);
      if (kind == Kind::File) files.push_back(index);
    }
  }

  std::string RenameDestination(const std::string& from, const std::vector<int>& files) {
    const int r = int(Below(100));
    if (r < 30) {
      for (int tries = 0; tries < 5 && !files.empty(); ++tries) {
        Entry& other = world_.entries[files[Below(files.size())]];
        if (other.pending != Pending::None) continue;
        other.pending = Pending::RenameTo;
        return other.path;
      }
    }
    if (r < 70) return from + ".renamed";
    return Join(world_.root, "out\\renamed " + std::to_string(world_.entries.size()));
  }

  std::mt19937_64 rng_;
  bool faults_;
  World world_;
  std::map<std::string, size_t> planted_;
  std::vector<std::string> outsideFolders_, outsideFiles_;
};

// ----------------------------------------------------- the Unix side ---

// Links are made, and worlds removed, on the Unix side: Wine's
// CreateSymbolicLink does nothing, and a Unix link shows to Win32 as a folder
// with the reparse-point attribute (or, for a file, as the file).
class UnixSide {
 public:
  UnixSide() {
    using UnixNameFn = char*(CDECL*)(LPCWSTR);
    const auto unixName = reinterpret_cast<UnixNameFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    spawn_ = reinterpret_cast<SpawnFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "__wine_unix_spawnvp")));
    if (!unixName || !spawn_) return;
    char* name = unixName(L"C:\\");
    if (!name) return;
    driveC_ = name;
    ::HeapFree(::GetProcessHeap(), 0, name);
    if (!driveC_.empty() && driveC_.back() != '/') driveC_.push_back('/');
  }
  bool ready() const { return spawn_ && !driveC_.empty(); }

  std::string Path(const std::string& windows) const {
    std::string rest = windows.size() > 3 ? windows.substr(3) : std::string();
    std::replace(rest.begin(), rest.end(), '\\', '/');
    return driveC_ + rest;
  }
  static std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
  }
  bool Shell(const std::string& script) const {
    std::vector<std::string> args = {"/bin/sh", "-c", script};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    return spawn_(argv.data(), 1) == 0;  // waits for the command to end
  }

 private:
  using SpawnFn = LONG(CDECL*)(char* const[], int);
  SpawnFn spawn_ = nullptr;
  std::string driveC_;
};

const UnixSide& Unix() {
  static const UnixSide side;
  return side;
}

// ------------------------------------------------------------ the machine ---

constexpr wchar_t kSessionManager[] = L"System\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t kPendingValue[] = L"PendingFileRenameOperations";

struct SavedPending {
  SavedPending() {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, &key) != 0) return;
    DWORD size = 0;
    if (::RegQueryValueExW(key, kPendingValue, nullptr, &type, nullptr, &size) == 0) {
      data.resize(size);
      existed = ::RegQueryValueExW(key, kPendingValue, nullptr, &type, data.data(), &size) == 0;
      data.resize(size);
    }
    ::RegCloseKey(key);
  }
  ~SavedPending() {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key) != 0) return;
    if (existed) ::RegSetValueExW(key, kPendingValue, 0, type, data.data(), DWORD(data.size()));
    if (!existed) ::RegDeleteValueW(key, kPendingValue);
    ::RegCloseKey(key);
  }
  bool existed = false;
  DWORD type = REG_MULTI_SZ;
  std::vector<BYTE> data;
};

// The paths that pending operations delete (lower-case, without "\??\").
std::set<std::string> PendingDeletions() {
  std::set<std::string> deleted;
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, &key) != 0) {
    return deleted;
  }
  DWORD size = 0;
  std::wstring data;
  if (::RegQueryValueExW(key, kPendingValue, nullptr, nullptr, nullptr, &size) == 0) {
    data.resize(size / sizeof(wchar_t) + 1);
    ::RegQueryValueExW(key, kPendingValue, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()),
                       &size);
    data.resize(size / sizeof(wchar_t));
  }
  ::RegCloseKey(key);
  std::vector<std::wstring> strings;
  for (size_t start = 0; start < data.size();) {
    size_t end = data.find(L'\0', start);
    if (end == std::wstring::npos) end = data.size();
    strings.push_back(data.substr(start, end - start));
    start = end + 1;
  }
  for (size_t i = 0; i + 1 < strings.size(); i += 2) {
    std::wstring source = strings[i];
    if (source.empty()) break;
    if (source.rfind(L"\\??\\", 0) == 0) source = source.substr(4);
    if (strings[i + 1].empty()) deleted.insert(Lower(Utf8(source)));
  }
  return deleted;
}

bool Exists(const std::string& path) {
  return ::GetFileAttributesW(Api(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void SetRegText(HKEY root, const char* key, const char* name, const std::string& text) {
  ::RegSetKeyValueA(root, key, name, REG_SZ, text.c_str(), DWORD(text.size() + 1));
}

// Every folder of a place's text, made when missing (the parents of a place
// that is a link, say).
bool MakeFolders(const std::string& path) {
  if (path.size() <= 3 || Exists(path)) return true;
  if (!MakeFolders(Parent(path))) return false;
  return ::CreateDirectoryW(Api(path).c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

// Files held open without delete sharing by a second process while the pass runs.
class Holder {
 public:
  explicit Holder(const World& world) {
    std::string list;
    for (const Entry& e : world.entries) {
      if (e.held) list += e.path + "\n";
    }
    if (list.empty()) return;
    listFile_ = world.root + ".held";
    test::WriteFileText(listFile_, list);
    const std::string event = "SentrovaWorldRelease" + std::to_string(::GetCurrentProcessId());
    release_ = ::CreateEventA(nullptr, TRUE, FALSE, event.c_str());
    process_ = test::StartProcess(test::Quoted(test::BinDir() + "sentrova_probe.exe") + " hold " +
                                  test::Quoted(listFile_) + " " + event);
    ok_ = process_ && test::WaitFor([&] { return Exists(listFile_ + ".ready"); }, 60000);
  }
  ~Holder() {
    if (process_) {
      ::SetEvent(release_);
      if (::WaitForSingleObject(process_, 30000) != WAIT_OBJECT_0) ::TerminateProcess(process_, 1);
      ::CloseHandle(process_);
    }
    if (release_) ::CloseHandle(release_);
    if (!listFile_.empty()) {
      ::DeleteFileA(listFile_.c_str());
      ::DeleteFileA((listFile_ + ".ready").c_str());
    }
  }
  bool ok() const { return listFile_.empty() || ok_; }

 private:
  std::string listFile_;
  HANDLE release_ = nullptr, process_ = nullptr;
  bool ok_ = false;
};

void RemoveWorld(const World& world) {
  std::string script = "rm -rf " + UnixSide::Quote(Unix().Path(world.root));
  for (const Entry& e : world.entries) {
    if (e.sentinel && e.parent < 0) script += " " + UnixSide::Quote(Unix().Path(e.path));
  }
  Unix().Shell(script);
}

// Makes the world on disk; the first thing that could not be made, or "".
std::string Materialise(const World& world) {
  RemoveWorld(world);
  if (!MakeFolders(world.root) || !MakeFolders(world.root + "\\out")) return world.root;
  for (const Place& place : world.places) {
    if (!place.real.empty() && !MakeFolders(place.real)) return place.real;
    if (!place.link.empty() && !MakeFolders(Parent(place.link))) return place.link;
    if (place.mode == PlaceMode::ParentHarmless && !MakeFolders(place.linkTarget))
      return place.linkTarget;
  }
  std::string links = "set -e\n";
  auto link = [&](const std::string& target, const std::string& at) {
    links += "ln -s " + UnixSide::Quote(Unix().Path(target)) + " " +
             UnixSide::Quote(Unix().Path(at)) + "\n";
  };
  for (const Place& place : world.places) {
    if (!place.link.empty()) link(place.linkTarget, place.link);
  }
  for (const Entry& e : world.entries) {
    // A protected folder that an earlier world lost (all shapes) comes back.
    if (e.sentinel && e.parent < 0 && !Exists(Parent(e.path))) {
      const std::string folder = UnixSide::Quote(Unix().Path(Parent(e.path)));
      Unix().Shell("mkdir -p \"$(readlink -m " + folder + ")\"");
    }
    const std::wstring path = Api(e.path);
    switch (e.kind) {
      case Kind::Folder:
        if (!::CreateDirectoryW(path.c_str(), nullptr)) return e.path;
        break;
      case Kind::File: {
        HANDLE file =
            ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return e.path;
        DWORD written = 0;
        ::WriteFile(file, e.path.data(), DWORD(std::min<size_t>(e.path.size(), 64)), &written,
                    nullptr);
        ::CloseHandle(file);
        break;
      }
      case Kind::FolderLink:
      case Kind::FileLink:
        link(e.target, e.path);
        break;
    }
  }
  if (!Unix().Shell(links)) return "a link";
  for (const Entry& e : world.entries) {
    if (e.attributes != 0 && !::SetFileAttributesW(Api(e.path).c_str(), e.attributes))
      return e.path;
  }
  for (size_t i = 0; i < world.entries.size(); ++i) {
    const Entry& e = world.entries[i];
    // In a place reached through a link, every other operation names the
    // way through the link.
    auto named = [&](const std::string& path) {
      const Place* place = e.place >= 0 ? &world.places[e.place] : nullptr;
      if (!place || place->link.empty() || i % 2 == 0 || path.rfind(place->real, 0) != 0)
        return path;
      return place->text + path.substr(place->real.size());
    };
    if (e.pending == Pending::Delete &&
        !::MoveFileExW(Api(named(e.path)).c_str(), nullptr,
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT)) {
      return e.path;
    }
    if (e.pending == Pending::RenameFrom &&
        !::MoveFileExW(Api(named(e.path)).c_str(), Api(named(e.renameTo)).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT)) {
      return e.path;
    }
  }
  return {};
}

void PointThePlaces(const World& world) {
  for (const Place& place : world.places) {
    if (place.item == "WIN_TEMP") {
      ::SetEnvironmentVariableW(L"TMP", Wide(place.text).c_str());
    } else if (place.item == "WIN_DOC") {
      SetRegText(HKEY_CURRENT_USER, clean_keys::kShellFolders, "Recent", place.text);
    } else {
      SetRegText(HKEY_LOCAL_MACHINE, clean_keys::kInternetSettings, "ActiveXCache", place.text);
    }
  }
}

}  // namespace

// ---------------------------------------------------------------- public ---

World Generate(uint64_t seed, const WorldOptions& options) {
  return Builder(seed, options).Build();
}

std::vector<Verdict> Oracle(const World& world) {
  const size_t n = world.entries.size();
  std::vector<Verdict> verdicts(n, Verdict::Remains);
  std::vector<bool> keptWhole(n, false);  // in a folder that a pending operation names
  for (size_t i = 0; i < n; ++i) {
    const Entry& e = world.entries[i];
    keptWhole[i] = (e.parent >= 0 && keptWhole[e.parent]) ||
                   (e.kind == Kind::Folder && e.pending != Pending::None);
  }
  // Folders take their verdict from what lies in them: children come later
  // in the list than their folder, so walk backwards.
  std::vector<int> worst(n, 0);  // 0 nothing, 1 either, 2 remains
  for (size_t k = n; k-- > 0;) {
    const Entry& e = world.entries[k];
    // A link may go or stay (what it leads to is judged on its own), and a
    // link whose target is missing does not show as a file at all.
    Verdict v =
        e.kind == Kind::FolderLink || e.kind == Kind::FileLink ? Verdict::Either : Verdict::Remains;
    if (v == Verdict::Remains && e.place >= 0 && world.places[e.place].emptied && !e.sentinel &&
        !keptWhole[k]) {
      switch (e.kind) {
        case Kind::File:
          v = e.pending != Pending::None ? Verdict::Remains
              : e.held                   ? Verdict::Deferred
                                         : Verdict::Gone;
          break;
        case Kind::Folder:
          v = worst[k] == 2 ? Verdict::Remains : worst[k] == 1 ? Verdict::Either : Verdict::Gone;
          break;
        default:
          break;
      }
    }
    verdicts[k] = v;
    if (e.parent >= 0) {
      const int level = v == Verdict::Gone ? 0 : v == Verdict::Either ? 1 : 2;
      worst[e.parent] = std::max(worst[e.parent], level);
    }
  }
  return verdicts;
}

std::vector<Violation> RunWorld(const World& world) {
  std::vector<Violation> violations;
  if (!Unix().ready()) return {{"no Unix side to make links with", ""}};
  SavedPending pending;
  const std::string unmade = Materialise(world);
  if (!unmade.empty()) {
    RemoveWorld(world);
    return {{"world not made", unmade}};
  }
  {
    Holder holder(world);
    if (!holder.ok()) violations.push_back({"files not held", world.root});
    PointThePlaces(world);
    if (violations.empty()) {
      try {
        TClean().Run(false);
      } catch (...) {
        violations.push_back({"no clean-up pass (no configuration service)", ""});
      }
    }
    const std::set<std::string> deferred = PendingDeletions();
    const std::vector<Verdict> verdicts = Oracle(world);
    for (size_t i = 0; i < world.entries.size(); ++i) {
      const Entry& e = world.entries[i];
      const bool exists = Exists(e.path);
      switch (verdicts[i]) {
        case Verdict::Gone:
          if (exists) violations.push_back({"must be gone", e.path});
          break;
        case Verdict::Remains:
          if (!exists) violations.push_back({"must remain", e.path});
          break;
        case Verdict::Deferred: {
          if (!exists) {
            violations.push_back({"must remain (held)", e.path});
            break;
          }
          // Scheduled under the place's text or its real path.
          const Place& place = world.places[e.place];
          const std::string viaText = place.text + e.path.substr(place.real.size());
          if (!deferred.count(Lower(e.path)) && !deferred.count(Lower(viaText))) {
            violations.push_back({"held but not deferred", e.path});
          }
          break;
        }
        case Verdict::Either:
          break;
      }
    }
    for (const Place& place : world.places) {
      if (!place.real.empty() && !Exists(place.real)) {
        violations.push_back({"must remain (the place itself)", place.real});
      }
    }
  }
  RemoveWorld(world);
  return violations;
}

World Shrink(World world, size_t maxRuns) {
  size_t runs = 0;
  auto without = [](const World& w, size_t from, size_t to) {
    World smaller = w;
    smaller.entries.clear();
    std::vector<int> map(w.entries.size(), -1);
    std::set<std::string> droppedRenames;
    for (size_t i = 0; i < w.entries.size(); ++i) {
      const Entry& e = w.entries[i];
      const bool drop = (i >= from && i < to) || (e.parent >= 0 && map[e.parent] < 0);
      if (drop) {
        if (e.pending == Pending::RenameFrom) droppedRenames.insert(e.renameTo);
        continue;
      }
      map[i] = int(smaller.entries.size());
      smaller.entries.push_back(e);
      smaller.entries.back().parent = e.parent >= 0 ? map[e.parent] : -1;
    }
    for (Entry& e : smaller.entries) {
      if (e.pending == Pending::RenameTo && droppedRenames.count(e.path)) e.pending = Pending::None;
    }
    return smaller;
  };
  for (size_t chunk = std::max<size_t>(1, world.entries.size() / 2);
       chunk >= 1 && runs < maxRuns;) {
    bool dropped = false;
    for (size_t start = 0; start < world.entries.size() && runs < maxRuns;) {
      World candidate = without(world, start, start + chunk);
      ++runs;
      if (!RunWorld(candidate).empty()) {
        world = std::move(candidate);
        dropped = true;
      } else {
        start += chunk;
      }
    }
    if (!dropped) {
      if (chunk == 1) break;
      chunk /= 2;
    }
  }
  return world;
}

std::string Describe(const World& world) {
  static const char* modes[] = {
      "plain",    "link to a folder of the world", "under a linked parent",
      "odd text", "link to a protected folder",    "under a link into a protected folder"};
  static const char* kinds[] = {"folder", "file", "folder link", "file link"};
  static const char* pendings[] = {"", " pending-delete", " pending-rename-from",
                                   " pending-rename-to"};
  std::string text = "world " + std::to_string(world.seed) +
                     (world.options.allShapes ? "" : " (without the shapes mended last)") + " at " +
                     world.root + "\n";
  for (const Place& p : world.places) {
    text += "  place " + p.item + ": " + modes[int(p.mode)] + ", text " + p.text;
    if (!p.link.empty()) text += ", link " + p.link + " -> " + p.linkTarget;
    text += p.emptied ? "\n" : ", refused\n";
  }
  for (const Entry& e : world.entries) {
    text += std::string("  ") + kinds[int(e.kind)] + " " + e.path;
    if (!e.target.empty()) text += " -> " + e.target;
    if (e.attributes & FILE_ATTRIBUTE_READONLY) text += " read-only";
    if (e.attributes & FILE_ATTRIBUTE_HIDDEN) text += " hidden";
    if (e.attributes & FILE_ATTRIBUTE_SYSTEM) text += " system";
    text += pendings[int(e.pending)];
    if (e.pending == Pending::RenameFrom) text += " to " + e.renameTo;
    if (e.held) text += " held";
    if (e.sentinel) text += " (in a protected folder)";
    text += "\n";
  }
  return text;
}

std::string Describe(const std::vector<Violation>& violations) {
  std::string text;
  for (const Violation& v : violations) text += "  " + v.what + ": " + v.path + "\n";
  return text;
}

// ------------------------------------------------------------- session ---

struct WorldSession::State {
  ComApartment com{COINIT_MULTITHREADED};
  bool registered = test::RegisterStandInHost();
  std::optional<std::string> recent =
      test::RegText(HKEY_CURRENT_USER, clean_keys::kShellFolders, "Recent");
  std::optional<std::string> activeX =
      test::RegText(HKEY_LOCAL_MACHINE, clean_keys::kInternetSettings, "ActiveXCache");
  wchar_t temp[MAX_PATH] = {};
  DWORD tempLength = ::GetEnvironmentVariableW(L"TMP", temp, MAX_PATH);
  std::unique_ptr<TConfig> config;  // keeps the host's service running between passes
};

WorldSession::WorldSession() : state_(new State) {
  if (!state_->registered) return;
  try {
    state_->config = std::make_unique<TConfig>();
    for (const char* item : config_keys::kCleanUpItems) {
      const std::string name = item;
      state_->config->SetBool(item, name == "WIN_TEMP" || name == "WIN_DOC" || name == "WIN_DOWN",
                              true);
    }
    state_->config->SetBool(config_keys::kShowCleanCloseIe, true, true);
    state_->config->SetBool(config_keys::kShowCleanSchedule, true, true);
  } catch (...) {
    state_->config.reset();
  }
}

WorldSession::~WorldSession() {
  auto put = [](HKEY root, const char* key, const char* name, const std::optional<std::string>& v) {
    if (v) SetRegText(root, key, name, *v);
    if (!v) ::RegDeleteKeyValueA(root, key, name);
  };
  put(HKEY_CURRENT_USER, clean_keys::kShellFolders, "Recent", state_->recent);
  put(HKEY_LOCAL_MACHINE, clean_keys::kInternetSettings, "ActiveXCache", state_->activeX);
  ::SetEnvironmentVariableW(L"TMP", state_->tempLength > 0 ? state_->temp : nullptr);
  delete state_;
}

bool WorldSession::ready() const { return state_->config != nullptr && Unix().ready(); }

}  // namespace sentrova::worlds
