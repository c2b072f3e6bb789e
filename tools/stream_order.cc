#include "tools/stream_order.h"

#include <algorithm>
#include <cstdio>
#include <tuple>

#include "payload/filenode.h"
#include "platform/utf8_files.h"
#include "util/little_endian.h"

namespace {

// Enough to reach the PE header of programs from common linkers.
const size_t kHeadBytes = 1024;

std::string ReadHead(const std::string& path) {
  std::string head(kHeadBytes, '\0');
  FILE* file = platform::OpenFileUtf8(path.c_str(), "rb");
  if (file == nullptr) return std::string();
  head.resize(fread(&head[0], 1, head.size(), file));
  fclose(file);
  return head;
}

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

struct SortKey {
  FileKind kind;
  std::string extension;  // after the name's last dot, lower case; empty for none
  std::string name;       // lower case
  std::string path;
  size_t entry;
  BlockContent content = BlockContent::kData;

  bool operator<(const SortKey& other) const {
    return std::tie(kind, extension, name, path) < std::tie(other.kind, other.extension, other.name, other.path);
  }
};

SortKey KeyOf(const PackEntry& entry, size_t index, FileKind kind) {
  const size_t slash = entry.relative.rfind('\\');
  const std::string name = entry.relative.substr(slash == std::string::npos ? 0 : slash + 1);
  const size_t dot = name.rfind('.');
  const std::string extension = dot == std::string::npos || dot == 0 ? std::string() : name.substr(dot + 1);
  return {kind, Lower(extension), Lower(name), entry.relative, index};
}

// The machine a program's header names: ELF e_machine (in the byte order
// e_ident[5] names) or PE IMAGE_FILE_HEADER.Machine; 0 for anything else.
unsigned MachineOf(const std::string& head, bool* pe) {
  static const char kElf[] = {0x7F, 'E', 'L', 'F'};
  const auto* bytes = reinterpret_cast<const uint8_t*>(head.data());
  *pe = false;
  if (head.size() >= 20 && head.compare(0, 4, kElf, 4) == 0) {
    return bytes[5] == 2 ? bytes[18] << 8 | bytes[19] : bytes[19] << 8 | bytes[18];
  }
  if (head.size() < 64 || head.compare(0, 2, "MZ") != 0) return 0;
  const uint32_t offset = util::LoadLe32(bytes + 60);
  if (offset > head.size() - 6 || head.compare(offset, 4, std::string("PE\0\0", 4)) != 0) return 0;
  *pe = true;
  return bytes[offset + 4] | bytes[offset + 5] << 8;
}

}  // namespace

bool Is32BitX86(const std::string& head) {
  bool pe;
  const unsigned machine = MachineOf(head, &pe);
  return pe ? machine == 0x14C : machine == 3;  // IMAGE_FILE_MACHINE_I386, EM_386
}

FileKind KindOf(const std::string& head) {
  bool pe;
  const unsigned machine = MachineOf(head, &pe);
  if (pe) return machine == 0x14C || machine == 0x8664 ? FileKind::kPeX86 : FileKind::kData;  // I386, AMD64
  return machine == 3 || machine == 62 ? FileKind::kElfX86 : FileKind::kData;                 // EM_386, EM_X86_64
}

void OrderForXz(std::vector<PackEntry>* entries, std::vector<BlockContent>* contents) {
  std::vector<PackEntry> ordered;
  std::vector<SortKey> files;
  for (size_t i = 0; i < entries->size(); ++i) {
    const PackEntry& entry = (*entries)[i];
    if (entry.kind == FILENODE::kFile) {
      const std::string head = ReadHead(entry.host);
      const FileKind kind = KindOf(head);
      files.push_back(KeyOf(entry, i, kind));
      if (kind != FileKind::kData) {
        files.back().content = Is32BitX86(head) ? BlockContent::kX86Program : BlockContent::kProgram;
      }
    } else {
      ordered.push_back(entry);
    }
  }
  std::sort(files.begin(), files.end());
  contents->assign(ordered.size(), BlockContent::kData);
  for (const SortKey& key : files) {
    ordered.push_back((*entries)[key.entry]);
    contents->push_back(key.content);
  }
  entries->swap(ordered);
}
