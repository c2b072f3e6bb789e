#include "pe/launcher_branding.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

#include "pe/pe_certificate_table.h"
#include "pe/pe_image.h"
#include "pe/resource_tree.h"

namespace pe {

namespace {

const char kResourceSection[] = ".rsrc";

Result Bad(const std::string& problem) { return Result::Fail(Outcome::kBadInput, "the launcher: " + problem); }

bool IsSigned(const std::string& bytes) {
  auto readAt = [&bytes](int64_t offset, void* buffer, int size) {
    memcpy(buffer, bytes.data() + offset, static_cast<size_t>(size));
    return true;
  };
  return PeCertificateTable::Find(readAt, static_cast<int64_t>(bytes.size())).status() !=
         PeCertificateTable::Status::kNone;
}

// Whether the launcher's layout lets its last section, .rsrc, be rebuilt
// with nothing else moving; see the header.
Result CheckLayout(const PeImage& image) {
  if (IsSigned(image.bytes())) return Bad("it is signed or its certificate table is damaged; sign the setup instead");
  const std::vector<PeSection>& sections = image.sections();
  auto rsrc = std::find_if(sections.begin(), sections.end(),
                           [](const PeSection& section) { return section.name == kResourceSection; });
  if (rsrc == sections.end()) return Bad("it has no .rsrc section");
  if (rsrc + 1 != sections.end()) return Bad("section " + rsrc[1].name + " follows .rsrc, which must be the last");
  if (rsrc->rawSize == 0 || rsrc->rawEnd() != image.bytes().size()) {
    return Bad("data follows the .rsrc section, which must end the file");
  }
  // Branding rewrites the file from .rsrc's data on, so everything else the
  // image loads must lie in front of it: the headers and every other
  // section's data. A data directory then names bytes in front of it unless
  // it lies inside the .rsrc section, which is checked below.
  if (image.headersSize() > rsrc->rawOffset) return Bad("its headers reach into the .rsrc section's data");
  for (auto section = sections.begin(); section != rsrc; ++section) {
    if (section->rawSize != 0 && section->rawEnd() > rsrc->rawOffset) {
      return Bad("the data of section " + section->name + " lies behind the start of .rsrc's, which branding rewrites");
    }
  }
  const PeDirectory resources = image.directory(PeImage::kResourceDirectory);
  if (resources.address != rsrc->virtualAddress || resources.size > std::min(rsrc->virtualSize, rsrc->rawSize)) {
    return Bad("its resource directory is not the .rsrc section");
  }
  const uint64_t start = rsrc->virtualAddress, end = start + std::max(rsrc->virtualSize, rsrc->rawSize);
  for (int i = 0; i < image.directoryCount(); ++i) {
    const PeDirectory entry = image.directory(i);
    if (i == PeImage::kResourceDirectory || i == PeImage::kCertificateDirectory || entry.size == 0) continue;
    if (entry.address < end && entry.address + uint64_t{entry.size} > start) {
      return Bad("data directory " + std::to_string(i) + " lies inside the .rsrc section");
    }
  }
  return Result();
}

// The icon resource numbers the groups other than `except` name.
std::set<uint16_t> NumbersOfOtherGroups(const ResourceTree::Names& groups, const ResourceId& except) {
  std::set<uint16_t> numbers;
  for (const auto& [name, languages] : groups) {
    if (name == except) continue;
    for (const auto& language : languages) {
      for (uint16_t number : IconFile::GroupNumbers(language.second.bytes)) numbers.insert(number);
    }
  }
  return numbers;
}

Result ReplaceMainIcon(const IconFile& icon, ResourceTree::Types* types) {
  ResourceTree::Names& groups = (*types)[ResourceId::Number(ResourceTree::kGroupIcon)];
  ResourceTree::Names& icons = (*types)[ResourceId::Number(ResourceTree::kIcon)];
  const ResourceId group = groups.empty() ? ResourceId::Number(1) : groups.begin()->first;
  const ResourceId language = groups.empty() || groups.begin()->second.empty()
                                  ? ResourceId::Number(VersionInfo::kUsEnglish)
                                  : groups.begin()->second.begin()->first;
  const std::set<uint16_t> shared = NumbersOfOtherGroups(groups, group);
  for (const auto& old : groups[group]) {
    for (uint16_t number : IconFile::GroupNumbers(old.second.bytes)) {
      if (shared.count(number) == 0) icons.erase(ResourceId::Number(number));
    }
  }
  std::vector<uint16_t> numbers;
  uint32_t next = 1;
  for (const IconFile::Image& image : icon.images()) {
    while (next <= 0xFFFF && icons.count(ResourceId::Number(static_cast<uint16_t>(next))) != 0) ++next;
    if (next > 0xFFFF) return Bad("it has no free icon numbers left");
    numbers.push_back(static_cast<uint16_t>(next));
    icons[ResourceId::Number(numbers.back())] = {{language, ResourceData{image.data, 0}}};
  }
  groups[group] = {{language, ResourceData{icon.GroupResource(numbers), 0}}};
  return Result();
}

}  // namespace

Result BrandLauncher(const std::string& launcher, const Branding& branding, std::string* branded) {
  PeImage image;
  Result result = PeImage::Read(launcher, &image);
  if (!result.ok()) return Bad(result.message());
  result = CheckLayout(image);
  if (!result.ok()) return result;
  const PeSection rsrc = image.sections().back();
  ResourceTree tree;
  std::string section = image.SectionData(rsrc).substr(0, std::min(rsrc.virtualSize, rsrc.rawSize));
  result = ResourceTree::Read(section, rsrc.virtualAddress, &tree);
  if (result.ok() && branding.icon != nullptr) result = ReplaceMainIcon(*branding.icon, &tree.types());
  if (!result.ok()) return Bad(result.message());
  if (branding.version != nullptr) {
    std::string resource;
    result = branding.version->Encode(&resource);
    if (!result.ok()) return result;
    tree.types()[ResourceId::Number(ResourceTree::kVersion)] = {
        {ResourceId::Number(1), {{ResourceId::Number(branding.version->language()), ResourceData{resource, 0}}}}};
  }
  result = image.ReplaceLastSection(tree.Write(rsrc.virtualAddress), PeImage::kResourceDirectory);
  if (!result.ok()) return Bad(result.message());
  *branded = image.bytes();
  return Result();
}

Result ReadVersionStrings(const std::string& file, VersionInfo::Strings* strings) {
  strings->clear();
  PeImage image;
  if (!PeImage::Read(file, &image).ok()) return Result();
  const PeDirectory resources = image.directory(PeImage::kResourceDirectory);
  for (const PeSection& section : image.sections()) {
    const uint64_t offset = uint64_t{resources.address} - section.virtualAddress;
    if (resources.size == 0 || resources.address < section.virtualAddress || offset >= section.rawSize) continue;
    ResourceTree tree;
    Result result = ResourceTree::Read(image.SectionData(section).substr(offset), resources.address, &tree);
    if (!result.ok()) return result;
    auto version = tree.types().find(ResourceId::Number(ResourceTree::kVersion));
    if (version == tree.types().end() || version->second.empty() || version->second.begin()->second.empty()) break;
    return VersionInfo::Decode(version->second.begin()->second.begin()->second.bytes, strings);
  }
  return Result();
}

}  // namespace pe
