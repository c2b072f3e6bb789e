#include "tools/extract_command.h"

#include <map>
#include <string>
#include <vector>

#include "file/delete_tree.h"
#include "file/lm_file.h"
#include "payload/filenode.h"
#include "payload/payload_extraction.h"
#include "platform/code_page.h"
#include "platform/memory.h"
#include "platform/platform.h"
#include "platform/process.h"
#include "tools/inspect_commands.h"
#include "tools/name_encoding.h"
#include "tools/windows_name_key.h"

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

// The target directory as the extraction found or made it.
struct Target {
  std::string directory;
  bool made = false;
  uint64_t volume = 0, index = 0;  // its identity then

  // Whether the path still names that directory, not one moved into its
  // place (by whoever may write into its parent).
  bool Unchanged() const {
    uint64_t nowVolume = 0, nowIndex = 0;
    return platform::GetEntryIdentity(directory.c_str(), &nowVolume, &nowIndex) && nowVolume == volume &&
           nowIndex == index;
  }
};

// Removes what extract wrote: the directory itself when extract made it,
// else everything in it; nothing when the path no longer names it.
void RemoveWritten(const Target& target) {
  if (!target.Unchanged()) return;
  if (target.made) {
    RemoveTree(target.directory);
    return;
  }
  for (const std::string& name : NamesIn(target.directory)) RemoveTree(target.directory + "\\" + name);
}

// The extraction under way or done, for RemovePartialExtraction.
Target extraction;
bool extracting = false;

// Converts every name the unpacking uses into this system's file names.
// Two names that are one to Windows once converted (a letter in both cases,
// two byte spellings of one character) are refused, as the launcher refuses
// them, before anything is written.
Result ConvertNames(int codePage, PayloadTable* table) {
  std::string name, text;
  std::map<std::string, std::string> byKey;
  for (auto* node = table->entries.GetHead(); node != nullptr; node = node->next) {
    FILENODE& entry = node->value;
    if (entry.kind != FILENODE::kFile && entry.kind != FILENODE::kDirectory) continue;
    const std::string shown = DisplayPayloadText(entry.path.GetText(), codePage);
    Result result = DecodePayloadPath(entry.path.GetText(), codePage, &name);
    if (!result.ok()) {
      return Result::Fail(result.outcome(), "entry \"" + DisplayPayloadText(entry.path.GetText(), kNoCodePage) + "\" " +
                                                result.message());
    }
    platform::CodePageToUtf8(entry.path.GetText(), codePage, &text);
    auto twin = byKey.emplace(WindowsNameKey(text), shown);
    if (!twin.second) {
      return Result::Fail(Outcome::kBadInput,
                          "entries \"" + twin.first->second + "\" and \"" + shown + "\" are one name to Windows");
    }
    entry.path = LmString(name.c_str());
  }
  Result result = DecodePayloadPath(table->launchName.GetText(), codePage, &name);
  if (!result.ok()) {
    return Result::Fail(
        result.outcome(),
        "launch name \"" + DisplayPayloadText(table->launchName.GetText(), kNoCodePage) + "\" " + result.message());
  }
  table->launchName = LmString(name.c_str());
  return Result();
}

// Makes the target directory, private to this user, or accepts an empty one
// known to be this user's alone (platform::IsPrivateDirectory); *made tells
// which. Nobody else can then plant, move or replace anything in it while
// the setup unpacks, nor while a failed extraction is removed. Its parent
// is the caller's to trust: whoever may write there can move the directory
// away, which RunExtract notices.
Result PrepareDirectory(const std::string& directory, bool* made) {
  *made = false;
  switch (platform::GetEntryInfo(directory.c_str()).type) {
    case platform::EntryType::kMissing:
      if (platform::MakePrivateDirectory(directory.c_str()) != 0) {
        return Result::Fail(Outcome::kCannotMake, directory + ": cannot create");
      }
      *made = true;
      return Result();
    case platform::EntryType::kDirectory:
      if (!NamesIn(directory).empty()) {
        return Result::Fail(Outcome::kBadInput, directory + ": not empty; extract into a new or empty directory");
      }
      if (!platform::IsPrivateDirectory(directory.c_str())) {
        return Result::Fail(Outcome::kBadInput,
                            directory +
                                ": others may enter it, or whether they may cannot be told (Windows); "
                                "extract into a new directory, which lmpack makes private");
      }
      return Result();
    default:
      return Result::Fail(Outcome::kBadInput, directory + ": not a directory");
  }
}

}  // namespace

void RemovePartialExtraction() {
  if (extracting) RemoveWritten(extraction);
}

Result RunExtract(const LmpackOptions& options) {
  const std::string& directory = options.output;
  Target& target = extraction;
  target = Target();
  target.directory = directory;
  Result result = PrepareDirectory(directory, &target.made);
  if (!result.ok()) return result;
  if (!platform::GetEntryIdentity(directory.c_str(), &target.volume, &target.index)) {
    if (target.made) RemoveTree(directory);
    return Result::Fail(Outcome::kCannotMake, directory + ": cannot be read back");
  }
  extracting = true;
  PayloadNameFilter convert;
  if (options.codePage != kNoCodePage) {
    convert = [&options](PayloadTable* table) { return ConvertNames(options.codePage, table); };
  }
  PayloadTable table;
  result = ExtractPayload(options.input, LmString(directory.c_str()), LmString(kStagingBase), convert, &table);
  if (platform::MemoryRanOut()) result = Result::Fail(Outcome::kNoMemory, "out of memory");
  const bool unchanged = target.Unchanged();
  if (result.ok() && !unchanged) {
    result = Result::Fail(Outcome::kWriteFault, directory + " was moved or replaced during the extraction");
  }
  if (!result.ok()) {
    RemoveWritten(target);
    extracting = false;
    return Result::Fail(result.outcome(), options.input + ": " + result.message() +
                                              (unchanged ? "; nothing was extracted" : "; nothing there was removed"));
  }
  if (!options.quiet) {
    PrintLine(directory + ": " + std::to_string(CountEntries(table.entries)) + " entries, " +
              std::to_string(table.unpackedSize) + " bytes extracted");
  }
  return Result();
}
