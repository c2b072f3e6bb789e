// Branding a launcher: the bytes of the branded image, checked field by
// field with this test's own reading of the PE/COFF and VS_VERSIONINFO
// layouts (Wine loads images that Windows refuses, so running them proves
// little), and the inputs that are refused.
#include "pe/launcher_branding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "file/read_whole_file.h"
#include "pe/resource_tree.h"
#include "tests/support/fake_pe_image.h"
#include "tests/support/test_support.h"

namespace {

using lmtest::FakePeImage;
using lmtest::GetU32;
using pe::ResourceData;
using pe::ResourceId;
using pe::ResourceTree;

uint32_t GetU16(const std::string& bytes, size_t offset) {
  return static_cast<unsigned char>(bytes[offset]) | static_cast<unsigned char>(bytes[offset + 1]) << 8;
}

uint64_t AlignUp(uint64_t value, uint64_t alignment) { return (value + alignment - 1) / alignment * alignment; }

struct Section {
  uint32_t virtualSize, address, rawSize, rawOffset;
};

// The fields the checks need, read here rather than through PeImage.
struct Headers {
  size_t optional;
  uint32_t sectionAlignment, fileAlignment, sizeOfImage, initializedData, checksum, resources, resourcesSize;
  std::vector<Section> sections;

  explicit Headers(const std::string& image) {
    const size_t coff = GetU32(image, 0x3C) + 4;
    optional = coff + 20;
    const size_t directories = optional + (GetU16(image, optional) == 0x20B ? 112 : 96);
    sectionAlignment = GetU32(image, optional + 32);
    fileAlignment = GetU32(image, optional + 36);
    sizeOfImage = GetU32(image, optional + 56);
    initializedData = GetU32(image, optional + 8);
    checksum = GetU32(image, optional + 64);
    resources = GetU32(image, directories + 16);
    resourcesSize = GetU32(image, directories + 20);
    const size_t table = optional + GetU16(image, coff + 16);
    for (size_t i = 0; i < GetU16(image, coff + 2); ++i) {
      const size_t h = table + 40 * i;
      sections.push_back({GetU32(image, h + 8), GetU32(image, h + 12), GetU32(image, h + 16), GetU32(image, h + 20)});
    }
  }
};

// The checksum as a one's complement sum over 64 bits, folded at the end.
uint32_t Checksum(std::string image, size_t field) {
  const uint64_t size = image.size();
  image.replace(field, 4, std::string(4, '\0'));
  image.push_back('\0');  // an odd last byte is the low byte of a last word
  uint64_t sum = 0;
  for (size_t i = 0; i + 1 < image.size(); i += 2) sum += GetU16(image, i);
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum + size);
}

// Walks a resource table at `offset` of `section` (loaded at `rva`),
// checking its order and its subdirectory bits; appends the data entries'
// offsets and RVAs as it meets them.
void CheckTable(const std::string& section, uint32_t rva, size_t offset, int level,
                std::vector<std::pair<size_t, uint32_t>>* data) {
  const size_t named = GetU16(section, offset + 12), count = named + GetU16(section, offset + 14);
  std::u16string previousName;
  uint32_t previousId = 0;
  for (size_t i = 0; i < count; ++i) {
    const uint32_t name = GetU32(section, offset + 16 + 8 * i), target = GetU32(section, offset + 20 + 8 * i);
    EXPECT_EQ(i < named, (name & 0x80000000u) != 0) << "named entries come first";
    if (i < named) {
      const size_t at = name & 0x7FFFFFFF;
      std::u16string text;
      for (size_t k = 0; k < GetU16(section, at); ++k)
        text.push_back(static_cast<char16_t>(GetU16(section, at + 2 + 2 * k)));
      EXPECT_EQ(0u, at % 2);
      EXPECT_TRUE(i == 0 || previousName < text);  // the names here are upper case
      previousName = text;
    } else {
      EXPECT_TRUE(i == named || previousId < name) << "ids ascend";
      previousId = name;
    }
    EXPECT_EQ(level < 3, (target & 0x80000000u) != 0) << "subdirectories above the languages only";
    if (level < 3) {
      CheckTable(section, rva, target & 0x7FFFFFFF, level + 1, data);
    } else {
      EXPECT_EQ(0u, target % 4);
      const uint32_t address = GetU32(section, target), size = GetU32(section, target + 4);
      EXPECT_TRUE(address >= rva && address - rva + uint64_t{size} <= section.size()) << "data inside .rsrc";
      data->emplace_back(target, address);
    }
  }
}

struct VersionTables {
  std::string tableKey;
  uint32_t translation = 0;
  std::map<std::string, std::string> strings;  // ASCII keys and values, the rest as '?'
  std::string fixed;
};

std::string Narrow(const std::string& block, size_t at, size_t units) {
  std::string text;
  for (size_t i = 0; i < units; ++i) {
    uint32_t c = GetU16(block, at + 2 * i);
    text.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  }
  return text;
}

// Checks the block at `at` (DWORD-aligned, its children DWORD-aligned and
// filling its wLength exactly) and gathers what it says; returns its end.
size_t CheckBlock(const std::string& r, size_t at, int depth, VersionTables* tables) {
  EXPECT_EQ(0u, at % 4);
  const size_t length = GetU16(r, at), valueLength = GetU16(r, at + 2), type = GetU16(r, at + 4);
  size_t keyEnd = at + 6;
  while (GetU16(r, keyEnd) != 0) keyEnd += 2;
  const std::string key = Narrow(r, at + 6, (keyEnd - at - 6) / 2);
  const size_t value = AlignUp(keyEnd + 2, 4), valueBytes = type == 1 ? 2 * valueLength : valueLength;
  if (depth == 0) tables->fixed = r.substr(value, valueBytes);
  if (depth == 2 && key != "Translation") tables->tableKey = key;
  if (key == "Translation") tables->translation = GetU32(r, value);
  if (depth == 3) {
    EXPECT_EQ(0u, GetU16(r, value + 2 * valueLength - 2)) << key << ": wValueLength counts the NUL";
    tables->strings[key] = Narrow(r, value, valueLength - 1);
  }
  size_t child = AlignUp(value + valueBytes, 4), end = value + valueBytes;
  while (child < at + length) {
    end = CheckBlock(r, child, depth + 1, tables);
    child = AlignUp(end, 4);
  }
  EXPECT_EQ(at + length, end) << key << ": wLength ends with the last child";
  return at + length;
}

std::string IconFileBytes(const std::vector<std::string>& images, const std::vector<int>& sizes) {
  std::string file = std::string("\0\0\1\0", 4) + std::string(2, '\0');
  lmtest::PutU16(&file, 4, static_cast<uint32_t>(images.size()));
  size_t offset = 6 + 16 * images.size();
  for (size_t i = 0; i < images.size(); ++i) {
    std::string entry(16, '\0');
    entry[0] = entry[1] = static_cast<char>(sizes[i] & 0xFF);
    lmtest::PutU16(&entry, 4, 1);
    lmtest::PutU16(&entry, 6, 32);
    lmtest::PutU32(&entry, 8, static_cast<uint32_t>(images[i].size()));
    lmtest::PutU32(&entry, 12, static_cast<uint32_t>(offset));
    file += entry;
    offset += images[i].size();
  }
  for (const std::string& image : images) file += image;
  return file;
}

std::string Bitmap(int size) {
  std::string header(40, '\0');
  lmtest::PutU32(&header, 0, 40);
  lmtest::PutU32(&header, 4, static_cast<uint32_t>(size));
  lmtest::PutU32(&header, 8, static_cast<uint32_t>(2 * size));
  return header + lmtest::RandomBytes(static_cast<size_t>(size * size * 4 + size * 4), static_cast<unsigned>(size));
}

// A PNG's signature and the start of its IHDR chunk (256x256, RGBA), then
// noise.
std::string Png() {
  return std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0\1\0\0\0\1\0\x08\x06\0\0\0", 29) +
         lmtest::RandomBytes(3000, 256);
}

const char kManifest[] = "<assembly>asInvoker</assembly>";

// An icon group of two images, a manifest and a named type.
ResourceTree FakeResources() {
  ResourceTree tree;
  const ResourceId english = ResourceId::Number(0x409);
  tree.types()[ResourceId::Number(3)][ResourceId::Number(1)][english] = ResourceData{Bitmap(16), 0};
  tree.types()[ResourceId::Number(3)][ResourceId::Number(2)][english] = ResourceData{Bitmap(32), 0};
  std::string group = std::string("\0\0\1\0\2\0", 6) + std::string(12, '\x10') + std::string("\1\0", 2) +
                      std::string(12, '\x20') + std::string("\2\0", 2);
  tree.types()[ResourceId::Number(14)][ResourceId::Number(1)][english] = ResourceData{group, 0};
  tree.types()[ResourceId::Number(24)][ResourceId::Number(1)][english] = ResourceData{kManifest, 0};
  tree.types()[ResourceId{u"ZDATA", 0}][ResourceId{u"NAME", 0}][english] = ResourceData{"z", 0};
  tree.types()[ResourceId{u"ADATA", 0}][ResourceId::Number(7)][english] = ResourceData{"a", 0};
  return tree;
}

// A fake launcher whose last section holds FakeResources().
std::string FakeLauncher(bool pe32Plus) {
  FakePeImage image(pe32Plus);
  image.AddSection(".rsrc", FakeResources().Write(0x2000), 2);
  return image.bytes();
}

}  // namespace

namespace {

const std::vector<std::string> kSettings = {"CompanyName=Example Corp",
                                            "FileDescription=Example Setup",
                                            "FileVersion=2.5",
                                            "ProductVersion=2.5.1.65535",
                                            "LegalCopyright=\xC2\xA9 2024 Example Corp",
                                            "ProductName=\xE4\xBE\x8B Example"};

// Each setting with the version of it these checks read: non-ASCII as '?'.
std::map<std::string, std::string> Expected(const std::vector<std::string>& settings) {
  std::map<std::string, std::string> strings;
  for (const std::string& setting : settings) {
    std::string value = setting.substr(setting.find('=') + 1), ascii;
    for (size_t i = 0; i < value.size(); ++i) {
      unsigned char c = static_cast<unsigned char>(value[i]);
      if (c < 0x80 || (c & 0xC0) == 0xC0) ascii.push_back(c < 0x80 ? value[i] : '?');
    }
    strings[setting.substr(0, setting.find('='))] = ascii;
  }
  return strings;
}

// What branding `launcher` with `ico` (none when empty) and `settings`
// comes to; the branded image in *branded.
Result Brand(const std::string& launcher, const std::string& ico, const std::vector<std::string>& settings,
             std::string* branded) {
  pe::IconFile icon;
  pe::VersionInfo version;
  Result result = ico.empty() ? Result() : pe::IconFile::Read(ico, &icon);
  for (size_t i = 0; result.ok() && i < settings.size(); ++i) result = version.Set(settings[i]);
  pe::Branding branding;
  branding.icon = ico.empty() ? nullptr : &icon;
  branding.version = settings.empty() ? nullptr : &version;
  return result.ok() ? pe::BrandLauncher(launcher, branding, branded) : result;
}

const pe::ResourceTree::Languages& Resource(const ResourceTree& tree, uint16_t type, uint16_t name) {
  return tree.types().at(ResourceId::Number(type)).at(ResourceId::Number(name));
}

// The header bytes branding may change: SizeOfInitializedData, SizeOfImage,
// CheckSum, data directory 2, the last section's VirtualSize and
// SizeOfRawData.
bool MayChange(const std::string& image, const Headers& headers, size_t at) {
  const size_t directories = headers.optional + (GetU16(image, headers.optional) == 0x20B ? 112 : 96);
  const size_t last = headers.optional + GetU16(image, headers.optional - 4) + 40 * (headers.sections.size() - 1);
  for (size_t field : {headers.optional + 8, headers.optional + 56, headers.optional + 64, directories + 16,
                       directories + 20, last + 8, last + 16}) {
    if (at >= field && at < field + 4) return true;
  }
  return false;
}

void CheckHeaders(const std::string& before, const std::string& after) {
  const Headers old(before), now(after);
  const Section& last = now.sections.back();
  for (size_t i = 0; i < now.sections.size(); ++i) {
    const Section& s = now.sections[i];
    EXPECT_EQ(0u, s.rawSize % now.fileAlignment) << i;
    EXPECT_EQ(0u, s.rawOffset % now.fileAlignment) << i;
    if (i == 0) continue;
    const Section& p = now.sections[i - 1];
    EXPECT_EQ(AlignUp(uint64_t{p.address} + p.virtualSize, now.sectionAlignment), s.address) << "adjacent " << i;
    if (p.rawSize != 0 && s.rawSize != 0) {
      EXPECT_EQ(uint64_t{p.rawOffset} + p.rawSize, s.rawOffset) << i;
    }
  }
  EXPECT_EQ(uint64_t{last.rawOffset} + last.rawSize, after.size());
  EXPECT_EQ(AlignUp(uint64_t{last.address} + last.virtualSize, now.sectionAlignment), now.sizeOfImage);
  EXPECT_EQ(last.address, now.resources);
  EXPECT_EQ(last.virtualSize, now.resourcesSize);
  EXPECT_EQ(old.initializedData + last.rawSize - old.sections.back().rawSize, now.initializedData);
  EXPECT_EQ(Checksum(after, now.optional + 64), now.checksum);
  for (size_t at = 0; at < last.rawOffset; ++at) {
    if (before[at] != after[at]) {
      EXPECT_TRUE(MayChange(after, now, at)) << "byte " << at << " changed";
    }
  }
}

void CheckVersion(const std::string& resource, const std::vector<std::string>& settings) {
  VersionTables tables;
  EXPECT_EQ(resource.size(), CheckBlock(resource, 0, 0, &tables));
  EXPECT_EQ("040904b0", tables.tableKey);
  EXPECT_EQ(0x04B00409u, tables.translation) << "Translation agrees with the table's key";
  EXPECT_EQ(Expected(settings), tables.strings);
  ASSERT_EQ(52u, tables.fixed.size());
  EXPECT_EQ(0xFEEF04BDu, GetU32(tables.fixed, 0));
  EXPECT_EQ(0x00020005u, GetU32(tables.fixed, 8)) << "FileVersion 2.5 is 2.5.0.0";
  EXPECT_EQ(0u, GetU32(tables.fixed, 12));
  EXPECT_EQ(0x00020005u, GetU32(tables.fixed, 16));
  EXPECT_EQ(0x0001FFFFu, GetU32(tables.fixed, 20));
}

void CheckResources(const std::string& before, const std::string& after, const std::vector<std::string>& images,
                    const std::vector<std::string>& settings) {
  const Section last = Headers(after).sections.back(), old = Headers(before).sections.back();
  const std::string section = after.substr(last.rawOffset, last.virtualSize);
  std::vector<std::pair<size_t, uint32_t>> data;
  CheckTable(section, last.address, 0, 1, &data);
  std::sort(data.begin(), data.end());
  for (size_t i = 1; i < data.size(); ++i) EXPECT_LT(data[i - 1].second, data[i].second) << "data entries by RVA";
  ResourceTree tree, original;
  ASSERT_TRUE(ResourceTree::Read(section, last.address, &tree).ok());
  ASSERT_TRUE(ResourceTree::Read(before.substr(old.rawOffset, old.virtualSize), old.address, &original).ok());
  EXPECT_EQ(Resource(original, 24, 1).begin()->second.bytes, Resource(tree, 24, 1).begin()->second.bytes);
  const std::string group = Resource(tree, 14, 1).begin()->second.bytes;
  ASSERT_EQ(images.size(), GetU16(group, 4));
  EXPECT_EQ(images.size(), tree.types().at(ResourceId::Number(3)).size()) << "the old images are gone";
  for (size_t i = 0; i < images.size(); ++i) {
    EXPECT_EQ(images[i],
              Resource(tree, 3, static_cast<uint16_t>(GetU16(group, 6 + 14 * i + 12))).begin()->second.bytes);
  }
  if (!settings.empty()) CheckVersion(Resource(tree, 16, 1).at(ResourceId::Number(0x409)).bytes, settings);
}

struct BrandCase {
  std::string what;
  std::string launcher;
  std::vector<std::string> images;
  std::vector<std::string> settings;
};

TEST(LauncherBrandingTest, BrandedImagesKeepTheirHeadersAndResourcesConsistent) {
  const std::vector<std::string> three = {Bitmap(16), Bitmap(32), Png()}, one = {Bitmap(16)};
  std::vector<BrandCase> cases = {{"PE32", FakeLauncher(false), three, kSettings},
                                  {"PE32+", FakeLauncher(true), three, kSettings},
                                  {"PE32, smaller", FakeLauncher(false), one, {}}};
  // On the Windows presets the build's own launcher is a PE image. Branding
  // edits bytes, so the native preset also brands the launchers the Windows
  // presets built, which CMakePresets.json names: the shipped 32-bit image
  // is checked here also where no 32-bit code runs.
  const std::string launcher = ReadWholeFile(lmtest::BuildPath("LM_LAUNCHER"));
  if (launcher.compare(0, 2, "MZ") == 0) {
    cases.push_back({"the launcher", launcher, three, kSettings});
    cases.push_back({"the launcher, smaller", launcher, one, {}});
  }
  for (const char* variable : {"LM_WINDOWS_LAUNCHER", "LM_WINDOWS_LAUNCHER_64"}) {
    const char* path = getenv(variable);
    if (path == nullptr || *path == '\0') continue;
    const std::string image = ReadWholeFile(lmtest::BuildPath(variable));
    if (image.compare(0, 2, "MZ") != 0) {
      printf("%s: %s is absent (its preset is not built): not branded here\n", variable, path);
      continue;
    }
    cases.push_back({path, image, three, kSettings});
    cases.push_back({std::string(path) + ", smaller", image, one, {}});
  }
  for (const BrandCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<int> sizes = {16, 32, 0};
    std::string branded;
    Result result = Brand(c.launcher, IconFileBytes(c.images, sizes), c.settings, &branded);
    ASSERT_TRUE(result.ok()) << result.message();
    CheckHeaders(c.launcher, branded);
    CheckResources(c.launcher, branded, c.images, c.settings);
    pe::VersionInfo::Strings strings;
    ASSERT_TRUE(pe::ReadVersionStrings(branded + "payload", &strings).ok());
    EXPECT_EQ(c.settings.size(), strings.size());
    for (const auto& [key, value] : strings) {
      EXPECT_NE(c.settings.end(), std::find(c.settings.begin(), c.settings.end(), key + "=" + value)) << key;
    }
  }
}

struct RefusalCase {
  std::string what;
  std::string launcher;
  std::string ico;
  std::vector<std::string> settings;
  std::string problem;  // a part of the message
};

// Where the data entry of a fake launcher's icon `size` pixels wide lies.
size_t IconDataEntry(const std::string& launcher, int size) {
  const Section last = Headers(launcher).sections.back();
  for (size_t at = last.rawOffset; at + 16 <= last.rawOffset + last.virtualSize; at += 4) {
    if (GetU32(launcher, at) >= last.address && GetU32(launcher, at) < last.address + last.virtualSize &&
        GetU32(launcher, at + 4) == static_cast<uint32_t>(40 + size * size * 4 + size * 4)) {
      return at;
    }
  }
  ADD_FAILURE() << "no data entry found";
  return 0;
}

uint32_t IconData(const std::string& launcher, int size) { return GetU32(launcher, IconDataEntry(launcher, size)); }

// A fake launcher whose icon `size` pixels wide has its data at `address`.
std::string WithIconDataAt(std::string launcher, int size, uint32_t address) {
  lmtest::PutU32(&launcher, IconDataEntry(launcher, size), address);
  return launcher;
}

// A 64-bit fake launcher whose import section's data the section table
// places inside .rsrc's, which Windows loads and branding would overwrite.
std::string WithImportsInsideRsrc() {
  FakePeImage image(true);
  image.AddSection(".idata", std::string(64, 'i'), 1);
  image.AddSection(".rsrc", FakeResources().Write(0x3000), 2);
  std::string launcher = image.bytes();
  lmtest::PutU32(&launcher, image.sectionTable() + 40 + 20, Headers(launcher).sections.back().rawOffset);
  return launcher;
}

// A fake launcher whose headers, as SizeOfHeaders has Windows load them,
// reach into .rsrc's data, and whose load configuration lies there.
std::string WithHeadersInsideRsrc(std::string launcher) {
  const FakePeImage layout(false);
  lmtest::PutU32(&launcher, FakePeImage::kOptionalHeader + 60, 0x600);
  lmtest::PutU32(&launcher, layout.directory(10), 0x500);
  lmtest::PutU32(&launcher, layout.directory(10) + 4, 0x40);
  return launcher;
}

TEST(LauncherBrandingTest, RefusesWhatItCannotBrandSafely) {
  const std::string launcher = FakeLauncher(false), ico = IconFileBytes({Bitmap(16)}, {16});
  FakePeImage withReloc(false), bare(false);
  withReloc.AddSection(".rsrc", Headers(launcher).sections.size() > 0 ? launcher.substr(0x400) : "", 2);
  withReloc.AddSection(".reloc", std::string(16, 'r'), 5);
  std::string pastEnd = ico;
  lmtest::PutU32(&pastEnd, 6 + 8, static_cast<uint32_t>(ico.size()));
  std::string garbage = ico;
  garbage[6 + 16] = 'x';
  std::string shared = IconFileBytes({Bitmap(16), Bitmap(16)}, {16, 16});
  lmtest::PutU32(&shared, 6 + 16 + 12, GetU32(shared, 6 + 12) + 8);
  const std::vector<std::string> version = {"ProductName=x"};
  const std::vector<RefusalCase> cases = {
      {"a section after .rsrc", withReloc.bytes(), ico, {}, "section .reloc follows .rsrc"},
      {"no .rsrc", bare.bytes(), ico, {}, "no .rsrc section"},
      {"signed", bare.Sign(launcher), ico, {}, "signed"},
      {"data behind .rsrc", launcher + "payload", ico, {}, "data follows the .rsrc section"},
      {"resources outside .rsrc", WithIconDataAt(launcher, 16, 0x1000), ico, {}, "outside the .rsrc section"},
      {"resource data inside an earlier one's",
       WithIconDataAt(launcher, 32, IconData(launcher, 16) + 8),
       ico,
       {},
       "two resources share data"},
      {"resource data over a later one's",
       WithIconDataAt(launcher, 16, IconData(launcher, 32) + 8),
       ico,
       {},
       "two resources share data"},
      {"imports inside .rsrc's data", WithImportsInsideRsrc(), ico, {}, "the data of section .idata lies behind"},
      {"a directory in headers inside .rsrc's data",
       WithHeadersInsideRsrc(launcher),
       ico,
       {},
       "its headers reach into the .rsrc section's data"},
      {"no PE image",
       "\x7f"
       "ELF" +
           std::string(300, '\0'),
       "", version, "not a Windows program"},
      {"no icon file", launcher, "BM" + std::string(100, '\0'), {}, "not an icon file"},
      {"no images", launcher, std::string("\0\0\1\0\0\0", 6), {}, "holds no images"},
      {"an image past the end", launcher, pastEnd, {}, "image 1 of the icon file lies past the file's end"},
      {"an image of neither kind", launcher, garbage, {}, "neither a bitmap nor a PNG"},
      {"a PNG signature alone",
       launcher,
       IconFileBytes({Png().substr(0, 8)}, {0}),
       {},
       "image 1 of the icon file is a PNG without"},
      {"a bitmap of 0x0",
       launcher,
       IconFileBytes({Bitmap(0)}, {0}),
       {},
       "image 1 of the icon file is a bitmap 0 pixels"},
      {"images sharing bytes", launcher, shared, {}, "image 2 of the icon file shares bytes with image 1"},
      {"an unknown key", launcher, "", {"Company=x"}, "unknown key Company"},
      {"no KEY=VALUE", launcher, "", {"CompanyName"}, "not KEY=VALUE"},
      {"a key twice", launcher, "", {"Comments=a", "Comments=b"}, "Comments is given twice"},
      {"five numbers", launcher, "", {"FileVersion=1.2.3.4.5"}, "not a version"},
      {"a letter", launcher, "", {"ProductVersion=1.2b"}, "not a version"},
      {"a number too large", launcher, "", {"FileVersion=65536"}, "not a version"},
      {"a bad language", launcher, "", {"Language=0x10000"}, "not a language id"},
      {"no UTF-8", launcher, "", {"Comments=\xFF"}, "not UTF-8"},
      {"a value too long", launcher, "", {"Comments=" + std::string(32760, 'x')}, "Comments: the value is too long"},
      {"values too long together",
       launcher,
       "",
       {"Comments=" + std::string(30000, 'x'), "ProductName=" + std::string(30000, 'x')},
       "too long for the version information"},
  };
  for (const RefusalCase& c : cases) {
    std::string branded;
    Result result = Brand(c.launcher, c.ico, c.settings, &branded);
    EXPECT_EQ(Outcome::kBadInput, result.outcome()) << c.what;
    EXPECT_NE(std::string::npos, result.message().find(c.problem)) << c.what << ": " << result.message();
    EXPECT_TRUE(branded.empty()) << c.what;
  }
}

}  // namespace
