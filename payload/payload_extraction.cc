#include "payload/payload_extraction.h"

#include <cstdint>
#include <string>
#include <vector>

#include "file/lm_file.h"
#include "file/lm_file_stream.h"
#include "payload/payload_format.h"
#include "payload/payload_unpacker.h"
#include "platform/contained_tree.h"

LmString NameWithSuffix(const LmString& base, int attempt) {
  if (attempt == 0) return base;
  LmString suffix;
  suffix.Format("-%d", attempt);
  return LmString::Concat(base, suffix);
}

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The number NameWithSuffix gave the name of `path` when it is a top-level
// entry spelt as `base` without regard to ASCII case: 0 for the base itself,
// N for "-N"; -1 for any other path.
int64_t SuffixOf(const char* path, const char* base) {
  if (*path++ != '\\') return -1;
  for (; *base != '\0'; ++path, ++base) {
    if (LowerAscii(*path) != LowerAscii(*base)) return -1;
  }
  if (*path == '\0') return 0;
  if (*path++ != '-' || *path == '0') return -1;
  int64_t number = 0;
  int digits = 0;
  for (; *path != '\0'; ++path, ++digits) {
    if (*path < '0' || *path > '9' || digits == 9) return -1;
    number = number * 10 + (*path - '0');
  }
  return digits > 0 ? number : -1;
}

// The staging file's name, with its leading '\': the first of `base`,
// `base`-1, `base`-2, ... that no top-level entry takes (without regard to
// ASCII case, as Windows compares; an entry that takes it otherwise, by an
// 8.3 alias say, fails to be created). One is always free, since a table
// of N entries takes at most N of them, and it is found in one pass over
// the table, however the table was made.
LmString StagingName(const LmString& base, const PayloadTable& table) {
  size_t count = 0;
  for (auto* node = table.entries.GetHead(); node != nullptr; node = node->next) ++count;
  std::vector<char> taken(count + 1, 0);  // by suffix: of 0 .. count, one is free
  for (auto* node = table.entries.GetHead(); node != nullptr; node = node->next) {
    const FILENODE& entry = node->value;
    if ((entry.kind != FILENODE::kFile && entry.kind != FILENODE::kDirectory) || entry.path.GetText() == nullptr) {
      continue;
    }
    const int64_t suffix = SuffixOf(entry.path.GetText(), base.GetText() ? base.GetText() : "");
    if (suffix >= 0 && static_cast<uint64_t>(suffix) <= count) taken[static_cast<size_t>(suffix)] = 1;
  }
  size_t first = 0;
  while (taken[first]) ++first;
  return LmString::Concat(LmString("\\"), NameWithSuffix(base, static_cast<int>(first)));
}

// Reads and checks the table and lets `filter` see it, then copies the
// compressed data into a new staging file, *stagingPath once it exists,
// checking the payload's CRC-32 on the way.
Result Stage(const std::string& setupPath, const LmString& directory, const LmString& stagingBase,
             const PayloadNameFilter& filter, PayloadTable* table, LmString* stagingPath, char* buffer) {
  LmFileStream own;
  if (setupPath.empty() || !own.OpenFile(setupPath.c_str(), 0)) {
    return Result::Fail(Outcome::kUnreadable, "the setup file cannot be opened");
  }
  Result result = PayloadReader::ReadTable(&own, table);
  if (result.ok()) result = table->record.Describes(table->payloadSize());
  if (!result.ok()) return result;
  if (filter) result = filter(table);
  if (!result.ok()) {
    // A table that damage changed is reported as damaged, not for what the
    // damage made of it: the data is read through, writing nothing.
    uint32_t crc = 0;
    Result whole = PayloadReader::CopyCompressed(&own, nullptr, *table, buffer, &crc);
    if (whole.ok()) whole = table->record.Matches(table->payloadSize(), crc);
    return whole.ok() ? result : whole;
  }
  LmFileStream staging;
  const LmString name = StagingName(stagingBase, *table);
  platform::ContainedTree tree(directory.GetText());
  if (!staging.AdoptFile(tree.CreateNewFile(name.GetText()), 1)) {
    return Result::Fail(Outcome::kCannotMake, "the staging file cannot be created");
  }
  *stagingPath = LmString::Concat(directory, name);
  uint32_t crc = 0;
  result = PayloadReader::CopyCompressed(&own, &staging, *table, buffer, &crc);
  return result.ok() ? table->record.Matches(table->payloadSize(), crc) : result;
}

}  // namespace

Result ExtractPayload(const std::string& setupPath, const LmString& directory, const LmString& stagingBase,
                      const PayloadNameFilter& filter, PayloadTable* table) {
  std::vector<char> buffer(CHUNK_SIZE);
  LmString stagingPath;
  Result result = Stage(setupPath, directory, stagingBase, filter, table, &stagingPath, buffer.data());
  if (result.ok()) result = UnpackPayload(stagingPath, directory, *table);
  if (stagingPath.GetLength() > 0) LmFile(stagingPath).Delete();
  return result;
}
