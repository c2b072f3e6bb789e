#include "tools/setup_branding.h"

#include <cstdio>
#include <vector>

#include "file/lm_file_stream.h"
#include "file/read_whole_file.h"
#include "pe/launcher_branding.h"
#include "platform/code_page.h"
#include "platform/platform.h"

namespace {

Result TakeVersionSettings(const LmpackOptions& options, pe::VersionInfo* version) {
  for (const std::string& setting : options.versionInfo) {
    std::string utf8;
    if (!platform::CodePageToUtf8(setting, platform::GetAnsiCodePage(), &utf8)) {
      return Result::Fail(Outcome::kUsage, "--version-info " + setting + ": not text of this system's code page");
    }
    Result result = version->Set(utf8);
    if (!result.ok()) return Result::Fail(Outcome::kUsage, "--version-info " + result.message());
  }
  // Each string fits on its own; together they may not.
  std::string resource;
  Result result = version->Encode(&resource);
  return result.ok() ? result : Result::Fail(Outcome::kUsage, "--version-info: " + result.message());
}

Result ReadIcon(const std::string& path, pe::IconFile* icon) {
  bool ok = false;
  std::string bytes = ReadWholeFile(path, &ok);
  if (!ok) return Result::Fail(Outcome::kUnreadable, path + ": cannot read the icon file");
  Result result = pe::IconFile::Read(bytes, icon);
  return result.ok() ? result : Result::Fail(Outcome::kBadInput, path + ": " + result.message());
}

}  // namespace

bool WantsBranding(const LmpackOptions& options) { return !options.icon.empty() || !options.versionInfo.empty(); }

Result StageBrandedLauncher(const LmpackOptions& options, const std::string& stub, const std::string& staged) {
  pe::VersionInfo version;
  pe::IconFile icon;
  pe::Branding branding;
  Result result = TakeVersionSettings(options, &version);
  if (result.ok() && !options.icon.empty()) result = ReadIcon(options.icon, &icon);
  if (!result.ok()) return result;
  branding.icon = options.icon.empty() ? nullptr : &icon;
  branding.version = version.empty() ? nullptr : &version;
  bool ok = false;
  std::string launcher = ReadWholeFile(stub, &ok), branded;
  if (!ok) return Result::Fail(Outcome::kUnreadable, stub + ": cannot read the launcher");
  result = pe::BrandLauncher(launcher, branding, &branded);
  if (!result.ok()) return Result::Fail(Outcome::kBadInput, stub + ": " + result.message());
  LmFileStream out;
  ok = out.OpenFile(staged.c_str(), 1) &&
       out.Write(branded.data(), static_cast<int>(branded.size())) == static_cast<int>(branded.size());
  ok = out.Close() && ok;
  if (ok) return Result();
  platform::RemoveFile(staged.c_str());
  return Result::Fail(Outcome::kWriteFault, staged + ": cannot write");
}

void PrintVersionStrings(const std::string& path, int64_t imageSize) {
  // Launchers are some 160 KB: a setup whose image claims more (a payload
  // offset far into a sparse file, say) is not read for its strings, so
  // that list costs no more than the launcher it shows.
  const int64_t kMaxImageBytes = 16 << 20;
  if (imageSize > kMaxImageBytes) {
    PrintLine("version info: not read, the launcher's image is larger than 16 MiB");
    return;
  }
  LmFileStream file;
  std::string image(static_cast<size_t>(imageSize > 0 ? imageSize : 0), '\0');
  if (image.empty() || !file.OpenFile(path.c_str(), 0) ||
      file.Read(&image[0], static_cast<int>(image.size())) != static_cast<int>(image.size())) {
    return;
  }
  pe::VersionInfo::Strings strings;
  Result result = pe::ReadVersionStrings(image, &strings);
  if (!result.ok()) PrintLine("version info: unreadable: " + result.message());
  for (const auto& [key, value] : strings) PrintLine("version info: " + key + "=" + value);
}
