// Random folder worlds for the clean-up's folder items: a seeded generator
// builds a Temp, a Recent and a Downloaded Program Files folder with nested
// folders, odd attributes, long and non-ANSI names, links (inside, outside,
// into protected folders, up the parent chain), pending restart operations
// and files held open by another process; sometimes the place itself is a
// link or sits under a linked parent. The oracle judges the world from how it
// was built, never from the program's code: what must remain after a pass,
// what must be gone, and which held files must be deferred to the restart.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sentrova::worlds {

// allShapes false leaves out the shapes that the clean-up did not survive
// when the generator was written: places whose real location is protected
// although their text is not (a link or a linked parent), the user's known
// folders as places, a folder named by a pending operation, an empty folder
// behind a link, and names outside the ANSI code page or paths longer than
// 260 characters.
struct WorldOptions {
  bool allShapes = true;
};

enum class Kind { Folder, File, FolderLink, FileLink };
enum class Pending { None, Delete, RenameFrom, RenameTo };

// One entry. Paths are absolute Windows paths in UTF-8.
struct Entry {
  Kind kind = Kind::File;
  std::string path;
  int place = -1;           // index of the place whose tree holds it, -1 outside
  int parent = -1;          // index of the folder entry it lies in, -1 a tree's root
  uint32_t attributes = 0;  // read-only, hidden, system
  std::string target;       // links: where they lead
  Pending pending = Pending::None;
  std::string renameTo;   // RenameFrom: the destination named
  bool held = false;      // held open by another process
  bool sentinel = false;  // planted in a protected folder
};

enum class PlaceMode {
  Plain,            // a real folder
  LinkHarmless,     // a link to a folder of the world
  ParentHarmless,   // under a link to a folder of the world
  OddText,          // a text the clean-up must refuse (".." part, a root, a system folder)
  LinkProtected,    // a link to a protected folder
  ParentProtected,  // under a link whose place is the parent of a protected folder
};

struct Place {
  std::string item;  // "WIN_TEMP", "WIN_DOC", "WIN_DOWN"
  PlaceMode mode = PlaceMode::Plain;
  std::string text;              // what the registry or the environment says
  std::string real;              // where its tree really lies ("" when it has none)
  std::string link, linkTarget;  // the place's own or its parent's link, if any
  bool emptied = true;           // false: the clean-up must refuse it
};

struct World {
  uint64_t seed = 0;
  WorldOptions options;
  std::string root;  // C:\sentrova-worlds\w<seed>
  std::vector<Place> places;
  std::vector<Entry> entries;
};

World Generate(uint64_t seed, const WorldOptions& options);

// What the oracle says of one entry after a pass.
enum class Verdict { Gone, Remains, Either, Deferred };
std::vector<Verdict> Oracle(const World& world);

// One difference between the oracle and the world after a pass.
struct Violation {
  std::string what;  // "must remain", "must be gone", "not deferred"
  std::string path;
};

// Builds the world, runs one clean-up pass with the folder items selected,
// compares, and removes the world again (the machine's pending operations and
// the folder settings are put back as found).
std::vector<Violation> RunWorld(const World& world);

// Drops entries while the world still fails; the smallest failing world.
World Shrink(World world, size_t maxRuns);

// Readable listings for a failure report.
std::string Describe(const World& world);
std::string Describe(const std::vector<Violation>& violations);

// Keeps the clean-up's configuration service, the folder settings and the
// pending operations for a series of worlds; restores the settings at the end.
class WorldSession {
 public:
  WorldSession();
  ~WorldSession();
  WorldSession(const WorldSession&) = delete;
  WorldSession& operator=(const WorldSession&) = delete;
  bool ready() const;

 private:
  struct State;
  State* state_;
};

}  // namespace sentrova::worlds
