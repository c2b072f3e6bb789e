#include "tools/extract_command.h"

#include <cstdio>
#include <string>
#include <vector>

#include "file/delete_tree.h"
#include "file/lm_file.h"
#include "payload/filenode.h"
#include "payload/payload_extraction.h"
#include "platform/platform.h"
#include "tools/name_encoding.h"

namespace {

// The staging file's name in the target directory (with a suffix where the
// setup has an entry of that name).
const char kStagingBase[] = "lmpack-staging";

void RemoveTree(const std::string& path) {
  LmFile* entry = new LmFile(LmString(path.c_str()));
  entry->AddRef();
  DeleteTree(entry);
}

std::vector<std::string> NamesIn(const std::string& directory) {
  std::vector<std::string> names;
  platform::ForEachEntry(directory.c_str(), [&names](const char* name) { names.emplace_back(name); });
  return names;
}

// Removes what extract wrote: the directory itself when extract made it,
// else everything in it.
void RemoveWritten(const std::string& directory, bool made) {
  if (made) {
    RemoveTree(directory);
    return;
  }
  for (const std::string& name : NamesIn(directory)) RemoveTree(directory + "\\" + name);
}

// Converts every name the unpacking uses into this system's file names.
bool ConvertNames(int codePage, PayloadTable* table, std::string* problem) {
  std::string name;
  for (auto* node = table->entries.GetHead(); node != nullptr; node = node->next) {
    FILENODE& entry = node->value;
    if (entry.kind != FILENODE::kFile && entry.kind != FILENODE::kDirectory) continue;
    if (!DecodePayloadPath(entry.path.GetText(), codePage, &name, problem)) {
      *problem = "entry \"" + DisplayPayloadText(entry.path.GetText(), kNoCodePage) + "\" " + *problem;
      return false;
    }
    entry.path = LmString(name.c_str());
  }
  if (!DecodePayloadPath(table->launchName.GetText(), codePage, &name, problem)) {
    *problem = "launch name \"" + DisplayPayloadText(table->launchName.GetText(), kNoCodePage) + "\" " + *problem;
    return false;
  }
  table->launchName = LmString(name.c_str());
  return true;
}

ExitStatus StatusFor(LaunchOutcome outcome) {
  switch (outcome) {
    case LaunchOutcome::kBadPayload:
    case LaunchOutcome::kCorruptData:
      return ExitStatus::kRefused;
    default:
      return ExitStatus::kIo;
  }
}

// Makes the target directory, or accepts an empty one; *made tells which.
ExitStatus PrepareDirectory(const std::string& directory, bool* made) {
  *made = false;
  switch (platform::GetEntryInfo(directory.c_str()).type) {
    case platform::EntryType::kMissing:
      if (platform::MakeDirectory(directory.c_str()) != 0) {
        ReportError(directory + ": cannot create");
        return ExitStatus::kIo;
      }
      *made = true;
      return ExitStatus::kOk;
    case platform::EntryType::kDirectory:
      if (NamesIn(directory).empty()) return ExitStatus::kOk;
      ReportError(directory + ": not empty; extract into a new or empty directory");
      return ExitStatus::kRefused;
    default:
      ReportError(directory + ": not a directory");
      return ExitStatus::kRefused;
  }
}

}  // namespace

ExitStatus RunExtract(const LmpackOptions& options) {
  const std::string& directory = options.output;
  bool made = false;
  ExitStatus status = PrepareDirectory(directory, &made);
  if (status != ExitStatus::kOk) return status;
  PayloadNameFilter convert;
  if (options.codePage != kNoCodePage) {
    convert = [&options](PayloadTable* table, std::string* problem) {
      return ConvertNames(options.codePage, table, problem);
    };
  }
  PayloadTable table;
  std::string problem;
  LaunchOutcome outcome =
      ExtractPayload(options.input, LmString(directory.c_str()), LmString(kStagingBase), convert, &table, &problem);
  if (outcome != LaunchOutcome::kUnpacked) {
    RemoveWritten(directory, made);
    ReportError(options.input + ": " + problem + "; nothing was extracted");
    return StatusFor(outcome);
  }
  if (!options.quiet) {
    printf("%s: %d entries, %llu bytes extracted\n", directory.c_str(), table.entries.GetCount(),
           static_cast<unsigned long long>(table.unpackedSize));
  }
  return ExitStatus::kOk;
}
