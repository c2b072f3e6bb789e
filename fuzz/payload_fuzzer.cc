// Fuzz target: the input is a whole setup executable, put through the
// launcher's own steps -- PayloadReader::ReadTable, CopyCompressed into a
// staging file, UnpackPayload into a fresh working directory -- after which
// the results are held against the table:
//  * a table that validates describes the file: the launch name and count
//    stand at the payload offset, the compressed data runs up to the
//    trailer, and the trailer names the payload and ends the file or stands
//    before an 8-aligned certificate table behind at most 7 zero bytes;
//  * the staging copy takes the whole compressed length;
//  * unpacking creates nothing but the table's files and directories, each
//    of the kind the table says and no file larger than its size; kUnpacked
//    means every one is there with exactly its size;
//  * nothing appears beside the working directory or one level above it,
//    and DeleteTree removes the working directory again.
// A breach aborts the process, which libFuzzer reports like a crash.
// Unlike the launcher, the target unpacks whether or not an integrity record
// matches: mutated inputs would almost never get past one, and unpacking
// must be safe without it.
//
// Layout of the scratch directory: "setup" (the input), "staging" (the
// compressed data) and "outer\work" (the working directory, made for each
// input and deleted after it).
//
// Unpacking is skipped when the table promises more than kMaxUnpacked
// bytes: a few hundred bytes of bzip2 can expand to many megabytes, and
// writing them would make such inputs thousands of times slower than the
// rest while reaching no code that smaller ones do not. The reader and the
// staging copy still run for them.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "bzip2/allocator_cache.h"
#include "file/delete_tree.h"
#include "file/lm_file.h"
#include "file/lm_file_stream.h"
#include "file/walk_tree.h"
#include "launcher/exit_codes.h"
#include "payload/payload_format.h"
#include "payload/payload_reader.h"
#include "payload/payload_unpacker.h"
#include "platform/platform.h"
#include "tests/support/temp_dir.h"
#include "util/little_endian.h"

namespace {

const uint64_t kMaxUnpacked = 4 << 20;
// The longest name one directory level of the file systems fuzzed on takes.
const size_t kMaxComponent = 255;

void Check(bool condition, const char* what) {
  if (condition) return;
  fprintf(stderr, "payload_fuzzer: %s\n", what);
  __builtin_trap();
}

struct Places {
  std::string scratch, setup, staging, outer, work;
};

const Places& ScratchPlaces() {
  static lmtest::TempDir scratch("lm-payload-fuzz", lmtest::MemoryBackedParent());
  static const Places places = [] {
    Places p{scratch.path(), scratch.Join("setup"), scratch.Join("staging"), scratch.Join("outer"), ""};
    p.work = p.outer + "\\work";
    Check(platform::MakeDirectory(p.outer.c_str()) == 0, "cannot make the outer directory");
    return p;
  }();
  return places;
}

// The table's file and directory entries by path relative to the working
// directory, as WalkTree spells them.
std::map<std::string, const FILENODE*> Creatable(const PayloadTable& table) {
  std::map<std::string, const FILENODE*> entries;
  for (auto* node = table.entries.GetHead(); node != nullptr; node = node->next) {
    const FILENODE& entry = node->value;
    if (entry.kind != FILENODE::kFile && entry.kind != FILENODE::kDirectory) continue;
    Check(entry.path.GetLength() > 1 && entry.path.GetText()[0] == '\\', "an entry path does not begin with '\\'");
    Check(entries.emplace(entry.path.GetText() + 1, &entry).second, "two entries have the same path");
  }
  return entries;
}

void CheckTable(const PayloadTable& table, const uint8_t* data, int64_t size) {
  const int64_t trailerEnd = static_cast<int64_t>(table.trailerOffset) + payload::kTrailerSize;
  Check(table.payloadOffset >= 0 && table.payloadOffset < table.dataOffset, "the table begins after its data");
  Check(table.compressedLength >= 0, "a negative compressed length");
  Check(static_cast<int64_t>(table.dataOffset) + table.compressedLength == table.trailerOffset,
        "the compressed data does not end at the trailer");
  Check(util::LoadLe32(data + table.trailerOffset) == static_cast<uint32_t>(table.payloadOffset),
        "the trailer does not name the payload offset");
  if (table.certificateTableOffset == 0) {
    Check(trailerEnd == size, "an unsigned payload does not end at the file's end");
  } else {
    const int64_t certificates = table.certificateTableOffset;
    Check(certificates % 8 == 0 && certificates < size, "a misplaced certificate table");
    Check(certificates >= trailerEnd && certificates - trailerEnd <= 7, "more than 7 bytes of padding");
    for (int64_t i = trailerEnd; i < certificates; ++i) Check(data[i] == 0, "padding that is not zero");
  }
  const LmString& name = table.launchName;
  Check(name.GetLength() > 0, "an empty launch name");
  Check(memcmp(data + table.payloadOffset, name.GetText(), name.GetLength() + 1) == 0,
        "the launch name is not what the payload holds");
  uint64_t unpacked = 0, count = 0;
  for (auto* node = table.entries.GetHead(); node != nullptr; node = node->next, ++count) {
    if (node->value.kind == FILENODE::kFile) unpacked += node->value.size;
  }
  Check(unpacked == table.unpackedSize, "the unpacked size is not the sum of the file sizes");
  const int32_t stored = static_cast<int32_t>(util::LoadLe32(data + table.payloadOffset + name.GetLength() + 1));
  Check(count == static_cast<uint64_t>(stored < 0 ? 0 : stored), "the table does not hold the stored count");
  Check(Creatable(table).count(name.GetText()) == 1, "the launch name is not one of the entries");
}

// What is under the working directory: only the table's entries, of their
// kinds, files no larger than their sizes; with `complete`, all of them,
// files exactly their sizes.
void CheckTree(const std::string& work, const PayloadTable& table, bool complete) {
  const std::map<std::string, const FILENODE*> expected = Creatable(table);
  size_t seen = 0;
  bool listed = WalkTree(work, [&](const std::string& relative, const platform::EntryInfo& info) {
    auto found = expected.find(relative);
    Check(found != expected.end(), "unpacking created something the table does not hold");
    const FILENODE& entry = *found->second;
    if (entry.kind == FILENODE::kDirectory) {
      Check(info.type == platform::EntryType::kDirectory, "a directory entry is not a directory");
    } else {
      Check(info.type == platform::EntryType::kFile, "a file entry is not a regular file");
      Check(info.size <= entry.size, "a file is larger than its entry");
      Check(!complete || info.size == entry.size, "an unpacked file does not have its entry's size");
    }
    ++seen;
    return true;
  });
  Check(listed, "the working directory cannot be listed");
  Check(!complete || seen == expected.size(), "an entry is missing after a complete unpacking");
}

// Whether a name of the table is too long for one directory level, which
// makes a write fault an honest outcome.
bool HasOverlongComponent(const PayloadTable& table) {
  for (auto* node = table.entries.GetHead(); node != nullptr; node = node->next) {
    const char* text = node->value.path.GetText();
    size_t run = 0;
    for (const char* c = text; *c != '\0'; ++c) {
      run = *c == '\\' ? 0 : run + 1;
      if (run > kMaxComponent) return true;
    }
  }
  return false;
}

std::set<std::string> Names(const std::string& directory) {
  std::set<std::string> names;
  platform::ForEachEntry(directory.c_str(), [&](const char* name) { names.insert(name); });
  return names;
}

void Unpack(const Places& places, const PayloadTable& table) {
  // libbz2's arrays go from input to input instead of being mapped anew;
  // xz dictionaries beyond 8 MiB are refused rather than allocated.
  static bzip2::SparePool spares(8);
  const uint64_t memoryLimit = 8u << 20;
  Outcome outcome =
      UnpackPayload(LmString(places.staging.c_str()), LmString(places.work.c_str()), table, &spares, memoryLimit)
          .outcome();
  Check(outcome == Outcome::kOk || outcome == Outcome::kCorruptData || outcome == Outcome::kBadInput ||
            outcome == Outcome::kMemoryLimit || (outcome == Outcome::kWriteFault && HasOverlongComponent(table)),
        "unpacking failed for another reason than the data");
  CheckTree(places.work, table, outcome == Outcome::kOk);
}

// Stages and unpacks a payload whose table validated, then checks the
// surroundings and removes the working directory.
void Extract(const Places& places, LmFileStream* own, const PayloadTable& table) {
  Check(platform::MakePrivateDirectory(places.work.c_str()) == 0, "cannot make the working directory");
  std::vector<char> buffer(CHUNK_SIZE);
  LmFileStream staging;
  Check(staging.OpenFile(places.staging.c_str(), 1) == 1, "cannot create the staging file");
  uint32_t crc = 0;
  Check(PayloadReader::CopyCompressed(own, &staging, table, buffer.data(), &crc).ok(),
        "the compressed data of a valid table cannot be staged");
  Check(platform::GetEntryInfo(places.staging.c_str()).size == static_cast<uint64_t>(table.compressedLength),
        "the staging file does not hold the compressed length");
  if (table.unpackedSize <= kMaxUnpacked) Unpack(places, table);

  Check(Names(places.scratch) == std::set<std::string>{"setup", "staging", "outer"},
        "something was written beside the working directory's parent");
  Check(Names(places.outer) == std::set<std::string>{"work"}, "something was written beside the working directory");
  LmFile* work = new LmFile(LmString(places.work.c_str()));
  work->AddRef();
  DeleteTree(work);
  Check(platform::GetEntryInfo(places.work.c_str()).type == platform::EntryType::kMissing,
        "the working directory survived its deletion");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Places& places = ScratchPlaces();
  Check(lmtest::WriteFile(places.setup, std::string(reinterpret_cast<const char*>(data), size)),
        "cannot write the input");
  LmFileStream own;
  Check(own.OpenFile(places.setup.c_str(), 0) == 1, "cannot open the input");
  PayloadTable table;
  Result result = PayloadReader::ReadTable(&own, &table);
  if (!result.ok()) {
    Check(result.outcome() == Outcome::kBadInput && !result.message().empty(), "a refused payload without a reason");
    return 0;
  }
  CheckTable(table, data, static_cast<int64_t>(size));
  Extract(places, &own, table);
  platform::RemoveFile(places.staging.c_str());
  return 0;
}
