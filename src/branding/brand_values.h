// The five brand values under which the program runs, and how they are
// resolved: the toolbar host's registry key first, then the executable's
// CONFIG resource, then the built-in defaults; whatever the registry lacked is
// written back to it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace sentrova {

struct BrandValues {
  std::string brand;        // BRAND: the brand name shown in texts
  std::string brandLong;    // BRAND_LONG: its long form
  std::string brandCode;    // BRAND_CODE: a short code
  std::string brandDomain;  // BRAND_DOMAIN: the maker's web host name
  std::string brandFolder;  // BRAND_FOLDER: resolved and stored, never shown
};

// Brand values are cut to this many characters.
constexpr size_t kMaxBrandValueLength = 255;

// The key below HKEY_LOCAL_MACHINE that holds one REG_SZ value per brand value.
constexpr std::string_view kBrandRegistryKey = "Software\\Quillbox";

// Default passed to the registry read: a value that reads back as this text
// (after trimming) counts as absent.
constexpr std::string_view kBrandAbsentMark = "#$%";

// Built-in defaults. The product's CONFIG resource carries the same host name
// for BRAND_DOMAIN.
constexpr std::string_view kDefaultBrand = "Brindle";
// The brand name in the form of the maker's web domain.
constexpr std::string_view kDefaultBrandLong = "Brindle-Soft.example";
constexpr std::string_view kDefaultBrandCode = "";
constexpr std::string_view kDefaultBrandDomain = "brindle-soft.example";
constexpr std::string_view kDefaultBrandFolder = "";

// Where brand values come from and go to. The program's implementation reads
// and writes HKEY_LOCAL_MACHINE\Software\Quillbox and loads the executable's
// CONFIG resource.
class BrandSource {
 public:
  virtual ~BrandSource() = default;
  // The stored text of the value `name`, or `absentDefault` when there is none
  // (or the key cannot be opened).
  virtual std::string ReadValue(std::string_view name, std::string_view absentDefault) = 0;
  // Stores the value; a failing write is ignored.
  virtual void WriteValue(std::string_view name, std::string_view value) = 0;
  // The CONFIG resource's text, or nullopt when the executable carries none.
  virtual std::optional<std::string> LoadConfigText() = 0;
};

// Resolves the five values into `values`, field by field, so that a failure
// part-way leaves the fields already resolved in place and the others as they
// were. May throw (out of memory, or whatever the source throws).
void ResolveBrandValues(BrandSource& source, BrandValues& values);

}  // namespace sentrova
