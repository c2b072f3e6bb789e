// The resources of a PE image: the tree that the resource data directory
// names (type, then name, then language, each a number or a UTF-16 name),
// read out of a .rsrc section and written back as one.
//
// Reading checks every offset against the section: directory tables,
// entries, names and data entries must lie inside it, and so must the data
// each data entry names by RVA (resources elsewhere in the image are
// refused: rebuilding the section could not keep them). The tree must have
// exactly three levels. At most kMaxEntries entries are read, no two
// resources' data may overlap, and the entries' names (which entries may
// share) may together be no longer than the section, so a hostile tree
// costs time and memory bounded by its section's size.
//
// Writing lays the section out in the order Microsoft's PE/COFF format
// documentation gives: the directory tables with their entries (the root, then
// every type's table, then every name's), the names (a 16-bit length and
// UTF-16 units, 2-byte aligned), the data entries (4-byte aligned), and the
// data (each 8-byte aligned), the data entries in the order of their data's
// RVAs. Each table lists its named entries first, ascending without regard
// to ASCII case, then its numbered ones, ascending; time stamps and versions
// are zero, so the same tree always gives the same bytes.
#ifndef LM_PE_RESOURCE_TREE_H_
#define LM_PE_RESOURCE_TREE_H_

#include <cstdint>
#include <map>
#include <string>

#include "util/result.h"

namespace pe {

// A type, name or language: a number, or a name when `name` is not empty.
struct ResourceId {
  std::u16string name;
  uint16_t number = 0;

  static ResourceId Number(uint16_t number) { return ResourceId{std::u16string(), number}; }
  bool named() const { return !name.empty(); }
  // The order of a table's entries: names first, compared with ASCII
  // letters folded to upper case, then numbers.
  bool operator<(const ResourceId& other) const;
  bool operator==(const ResourceId& other) const { return name == other.name && number == other.number; }
};

struct ResourceData {
  std::string bytes;
  uint32_t codePage = 0;
};

class ResourceTree {
 public:
  using Languages = std::map<ResourceId, ResourceData>;
  using Names = std::map<ResourceId, Languages>;
  using Types = std::map<ResourceId, Names>;

  static constexpr uint16_t kIcon = 3;        // RT_ICON
  static constexpr uint16_t kGroupIcon = 14;  // RT_GROUP_ICON
  static constexpr uint16_t kVersion = 16;    // RT_VERSION
  static constexpr uint32_t kMaxEntries = 1 << 16;

  // Reads the tree whose root table begins `section`, a section loaded at
  // `rva`. kBadInput, with what is wrong, when the rules above are broken.
  static Result Read(const std::string& section, uint32_t rva, ResourceTree* tree);
  // The section's bytes for a section loaded at `rva`.
  std::string Write(uint32_t rva) const;

  Types& types() { return types_; }
  const Types& types() const { return types_; }

 private:
  Types types_;
};

}  // namespace pe

#endif  // LM_PE_RESOURCE_TREE_H_
