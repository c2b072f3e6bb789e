#include "pe/resource_tree.h"

#include <iterator>
#include <map>
#include <vector>

#include "util/little_endian.h"

namespace pe {

namespace {

const uint32_t kHighBit = 0x80000000;  // a name (in the name field), a subtable (in the offset field)
const size_t kTableHeaderSize = 16;
const size_t kEntrySize = 8;
const size_t kDataEntrySize = 16;
const size_t kDataAlignment = 8;

char16_t FoldCase(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

size_t TableSize(size_t entries) { return kTableHeaderSize + kEntrySize * entries; }

size_t NameSize(const ResourceId& id) { return id.named() ? 2 + 2 * id.name.size() : 0; }

size_t AlignUp(size_t value, size_t alignment) { return (value + alignment - 1) / alignment * alignment; }

Result Bad(const std::string& problem) { return Result::Fail(Outcome::kBadInput, "the resources: " + problem); }

struct Entry {
  ResourceId id;
  uint32_t target;  // kHighBit and a table's offset, or a data entry's offset
};

// One reading of one section.
class TreeReader {
 public:
  TreeReader(const std::string& section, uint32_t rva) : section_(section), rva_(rva) {}

  Result ReadTypes(ResourceTree::Types* types) {
    std::vector<Entry> entries;
    Result result = ReadTable(0, &entries);
    uint32_t table = 0;
    for (size_t i = 0; result.ok() && i < entries.size(); ++i) {
      result = Subtable(entries[i], &table);
      if (result.ok()) result = ReadNames(table, &(*types)[entries[i].id]);
    }
    return result;
  }

 private:
  bool Inside(uint64_t offset, uint64_t size) const {
    return offset <= section_.size() && size <= section_.size() - offset;
  }

  // The table a type's or a name's entry leads to; a failure when it leads
  // to data instead.
  static Result Subtable(const Entry& entry, uint32_t* offset) {
    *offset = entry.target & ~kHighBit;
    return entry.target & kHighBit ? Result() : Bad("data stands where a directory table belongs");
  }

  Result ReadNames(uint32_t offset, ResourceTree::Names* names) {
    std::vector<Entry> entries;
    Result result = ReadTable(offset, &entries);
    uint32_t table = 0;
    for (size_t i = 0; result.ok() && i < entries.size(); ++i) {
      result = Subtable(entries[i], &table);
      if (result.ok()) result = ReadLanguages(table, &(*names)[entries[i].id]);
    }
    return result;
  }

  Result ReadLanguages(uint32_t offset, ResourceTree::Languages* languages) {
    std::vector<Entry> entries;
    Result result = ReadTable(offset, &entries);
    for (size_t i = 0; result.ok() && i < entries.size(); ++i) {
      if (entries[i].target & kHighBit) return Bad("the tree is deeper than type, name and language");
      result = ReadData(entries[i].target, &(*languages)[entries[i].id]);
    }
    return result;
  }

  Result ReadTable(uint32_t offset, std::vector<Entry>* entries) {
    if (!Inside(offset, kTableHeaderSize)) return Bad("a directory table lies outside the section");
    const uint32_t named = util::GetLe16(section_, offset + 12);
    const uint32_t count = named + util::GetLe16(section_, offset + 14);
    if (!Inside(offset + kTableHeaderSize, uint64_t{count} * kEntrySize)) {
      return Bad("a directory table's entries lie outside the section");
    }
    read_ += count;
    if (read_ > ResourceTree::kMaxEntries) return Bad("the tree has too many entries");
    for (uint32_t i = 0; i < count; ++i) {
      const size_t at = offset + kTableHeaderSize + i * kEntrySize;
      const uint32_t name = util::GetLe32(section_, at);
      Entry entry{ResourceId::Number(static_cast<uint16_t>(name)), util::GetLe32(section_, at + 4)};
      if ((name & kHighBit) != 0) {
        Result result = ReadName(name & ~kHighBit, &entry.id.name);
        if (!result.ok()) return result;
      } else if (name > 0xFFFF) {
        return Bad("an entry's number is larger than 16 bits");
      }
      if (!entries->empty() && !(entries->back().id < entry.id)) return Bad("a directory table is not in order");
      entries->push_back(entry);
    }
    return Result();
  }

  Result ReadName(uint32_t offset, std::u16string* name) {
    if (!Inside(offset, 2)) return Bad("a name lies outside the section");
    const uint32_t length = util::GetLe16(section_, offset);
    if (length == 0 || !Inside(offset + 2, 2 * length)) return Bad("a name is empty or runs past the section");
    nameBytes_ += 2 * length;
    if (nameBytes_ > section_.size()) return Bad("the entries' names together are longer than the section");
    for (uint32_t i = 0; i < length; ++i)
      name->push_back(static_cast<char16_t>(util::GetLe16(section_, offset + 2 + 2 * i)));
    return Result();
  }

  Result ReadData(uint32_t offset, ResourceData* data) {
    if (!Inside(offset, kDataEntrySize)) return Bad("a data entry lies outside the section");
    const uint32_t address = util::GetLe32(section_, offset);
    const uint32_t size = util::GetLe32(section_, offset + 4);
    if (address < rva_ || !Inside(address - rva_, size)) return Bad("a resource's data lies outside the .rsrc section");
    if (!Claim(address - rva_, size)) return Bad("two resources share data");
    data->bytes = section_.substr(address - rva_, size);
    data->codePage = util::GetLe32(section_, offset + 8);
    return Result();
  }

  // Records that a resource's data takes `size` bytes from `start`; false
  // when another resource's data took any of them.
  bool Claim(uint64_t start, uint64_t size) {
    if (size == 0) return true;
    auto next = dataEnds_.lower_bound(start);
    if (next != dataEnds_.end() && next->first < start + size) return false;
    if (next != dataEnds_.begin() && std::prev(next)->second > start) return false;
    dataEnds_.emplace(start, start + size);
    return true;
  }

  const std::string& section_;
  const uint32_t rva_;
  uint32_t read_ = 0;  // entries read so far
  // Every leaf's data and every entry's name is copied out of the section.
  // Compilers and linkers give each leaf its own data, so data that
  // overlaps is refused; a name may serve several entries, so names are
  // only bounded. Either way a small section cannot make a large tree.
  std::map<uint64_t, uint64_t> dataEnds_;  // the data claimed so far: start, end
  uint64_t nameBytes_ = 0;
};

// One writing of one tree; see the header for the layout.
class TreeWriter {
 public:
  TreeWriter(const ResourceTree::Types& types, uint32_t rva) : types_(types), rva_(rva) {}

  std::string Run() {
    size_t typeTables = 0, nameTables = 0, names = 0, leaves = 0;
    for (const auto& [type, typeNames] : types_) {
      typeTables += TableSize(typeNames.size());
      names += NameSize(type);
      for (const auto& [name, languages] : typeNames) {
        nameTables += TableSize(languages.size());
        names += NameSize(name);
        leaves += languages.size();
        for (const auto& language : languages) names += NameSize(language.first);
      }
    }
    const size_t root = TableSize(types_.size());
    nameAt_ = root + typeTables + nameTables;
    dataEntryAt_ = AlignUp(nameAt_ + names, 4);
    dataAt_ = AlignUp(dataEntryAt_ + kDataEntrySize * leaves, kDataAlignment);
    out_.assign(dataAt_, '\0');
    WriteTables(root, root + typeTables);
    return out_;
  }

 private:
  // The root at 0, the types' tables from `typeTable` on, the names' from
  // `nameTable` on.
  void WriteTables(size_t typeTable, size_t nameTable) {
    size_t typeEntry = PutTable(0, types_);
    for (const auto& [type, names] : types_) {
      PutEntry(&typeEntry, type, kHighBit | static_cast<uint32_t>(typeTable));
      size_t nameEntry = PutTable(typeTable, names);
      typeTable += TableSize(names.size());
      for (const auto& [name, languages] : names) {
        PutEntry(&nameEntry, name, kHighBit | static_cast<uint32_t>(nameTable));
        size_t languageEntry = PutTable(nameTable, languages);
        nameTable += TableSize(languages.size());
        for (const auto& [language, data] : languages) {
          PutEntry(&languageEntry, language, static_cast<uint32_t>(dataEntryAt_));
          PutData(data);
        }
      }
    }
  }

  // The table's header at `at`; returns where its first entry goes.
  template <typename Map>
  size_t PutTable(size_t at, const Map& entries) {
    size_t named = 0;
    for (const auto& entry : entries) named += entry.first.named() ? 1 : 0;
    util::PutLe16(&out_, at + 12, static_cast<uint32_t>(named));
    util::PutLe16(&out_, at + 14, static_cast<uint32_t>(entries.size() - named));
    return at + kTableHeaderSize;
  }

  void PutEntry(size_t* at, const ResourceId& id, uint32_t target) {
    uint32_t name = id.number;
    if (id.named()) {
      name = kHighBit | static_cast<uint32_t>(nameAt_);
      util::PutLe16(&out_, nameAt_, static_cast<uint32_t>(id.name.size()));
      for (size_t i = 0; i < id.name.size(); ++i) util::PutLe16(&out_, nameAt_ + 2 + 2 * i, id.name[i]);
      nameAt_ += NameSize(id);
    }
    util::PutLe32(&out_, *at, name);
    util::PutLe32(&out_, *at + 4, target);
    *at += kEntrySize;
  }

  void PutData(const ResourceData& data) {
    out_.resize(dataAt_, '\0');
    util::PutLe32(&out_, dataEntryAt_, rva_ + static_cast<uint32_t>(dataAt_));
    util::PutLe32(&out_, dataEntryAt_ + 4, static_cast<uint32_t>(data.bytes.size()));
    util::PutLe32(&out_, dataEntryAt_ + 8, data.codePage);
    dataEntryAt_ += kDataEntrySize;
    out_ += data.bytes;
    dataAt_ = AlignUp(out_.size(), kDataAlignment);
  }

  const ResourceTree::Types& types_;
  const uint32_t rva_;
  std::string out_;
  size_t nameAt_ = 0, dataEntryAt_ = 0, dataAt_ = 0;
};

}  // namespace

bool ResourceId::operator<(const ResourceId& other) const {
  if (named() != other.named()) return named();
  if (!named()) return number < other.number;
  for (size_t i = 0; i < name.size() && i < other.name.size(); ++i) {
    if (FoldCase(name[i]) != FoldCase(other.name[i])) return FoldCase(name[i]) < FoldCase(other.name[i]);
  }
  if (name.size() != other.name.size()) return name.size() < other.name.size();
  return name < other.name;
}

Result ResourceTree::Read(const std::string& section, uint32_t rva, ResourceTree* tree) {
  tree->types_.clear();
  return TreeReader(section, rva).ReadTypes(&tree->types_);
}

std::string ResourceTree::Write(uint32_t rva) const { return TreeWriter(types_, rva).Run(); }

}  // namespace pe
