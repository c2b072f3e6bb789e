// The POSIX port of code_page.h, on glibc's iconv. Code points travel as
// UTF-32LE between the conversions; the rules of code_page.h are applied
// here, character by character.
#include "platform/code_page.h"

#include <cstdint>
#include <map>
#include <string>

#include "platform/code_page_rules.h"
#include "platform/posix/iconv_converter.h"

namespace platform {

namespace {

struct CodePageName {
  int number;
  const char* iconvName;
  bool singleByte;
};

// Every name was checked against this glibc's iconv (iconv -l); the
// single-byte and double-byte tables agree with Windows' once the rules of
// code_page.h are applied.
const CodePageName kCodePages[] = {
    {437, "CP437", true},   {850, "CP850", true},   {852, "CP852", true},   {866, "CP866", true},
    {874, "CP874", true},   {932, "CP932", false},  {936, "CP936", false},  {949, "CP949", false},
    {950, "CP950", false},  {1250, "CP1250", true}, {1251, "CP1251", true}, {1252, "CP1252", true},
    {1253, "CP1253", true}, {1254, "CP1254", true}, {1255, "CP1255", true}, {1256, "CP1256", true},
    {1257, "CP1257", true}, {1258, "CP1258", true},
};

const char kUtf32[] = "UTF-32LE";
const uint32_t kNoCharacter = 0xFFFFFFFFu;

struct ByteMapping {
  int codePage;
  uint32_t byteValue;  // a byte, or a lead and trail byte as 0xLLTT
  uint32_t character;
};

// Entries of Windows' tables that glibc's lack.
const ByteMapping kAddedMappings[] = {{1255, 0xCA, 0x05BA}};

// The byte forms Windows writes for characters that have two.
const ByteMapping kPreferredForms[] = {
    {950, 0xF9F9, 0x2550}, {950, 0xF9E9, 0x255E}, {950, 0xF9EB, 0x2561}, {950, 0xF9EA, 0x256A}};

const CodePageName* FindCodePage(int number) {
  for (const CodePageName& page : kCodePages) {
    if (page.number == number) return &page;
  }
  return nullptr;
}

std::string Utf32Of(uint32_t c) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((c >> (8 * i)) & 0xFF);
  return bytes;
}

std::u32string CodePointsOf(const std::string& utf32) {
  std::u32string text;
  for (size_t i = 0; i + 4 <= utf32.size(); i += 4) {
    uint32_t c = 0;
    for (int k = 3; k >= 0; --k) c = (c << 8) | static_cast<unsigned char>(utf32[i + k]);
    text.push_back(static_cast<char32_t>(c));
  }
  return text;
}

std::string Utf32Of(const std::u32string& text) {
  std::string bytes;
  for (char32_t c : text) bytes += Utf32Of(static_cast<uint32_t>(c));
  return bytes;
}

bool DecodeUtf8(const std::string& utf8, std::u32string* text) {
  IconvConverter decoder(kUtf32, "UTF-8");
  std::string utf32;
  if (!decoder.Convert(utf8, &utf32)) return false;
  *text = CodePointsOf(utf32);
  return true;
}

bool EncodeUtf8(const std::u32string& text, std::string* utf8) {
  IconvConverter encoder("UTF-8", kUtf32);
  return encoder.Convert(Utf32Of(text), utf8);
}

bool HasRefusedCharacter(const std::u32string& text) {
  for (char32_t c : text) {
    if (IsRefusedCharacter(c)) return true;
  }
  return false;
}

// ---- single-byte code pages: a table of what each byte stands for ----

struct ByteTable {
  uint32_t characters[256];  // kNoCharacter for a byte that stands for nothing
};

// Each byte is decoded on its own, so that the decoders of 1255 and 1258
// never compose it with its neighbours.
ByteTable BuildByteTable(const CodePageName& page) {
  ByteTable table;
  IconvConverter decoder(kUtf32, page.iconvName);
  for (int b = 0; b < 256; ++b) {
    std::string utf32;
    table.characters[b] = kNoCharacter;
    if (decoder.Convert(std::string(1, static_cast<char>(b)), &utf32) && utf32.size() == 4) {
      uint32_t c = static_cast<uint32_t>(CodePointsOf(utf32)[0]);
      if (!IsRefusedCharacter(c)) table.characters[b] = c;
    }
  }
  for (const ByteMapping& added : kAddedMappings) {
    if (added.codePage == page.number) table.characters[added.byteValue] = added.character;
  }
  return table;
}

const ByteTable& ByteTableFor(const CodePageName& page) {
  static const std::map<int, ByteTable> tables = [] {
    std::map<int, ByteTable> built;
    for (const CodePageName& each : kCodePages) {
      if (each.singleByte) built[each.number] = BuildByteTable(each);
    }
    return built;
  }();
  return tables.at(page.number);
}

bool EncodeSingleByte(const ByteTable& table, const std::u32string& text, std::string* bytes) {
  for (char32_t c : text) {
    int found = -1;
    for (int b = 0; b < 256 && found < 0; ++b) {
      if (table.characters[b] == static_cast<uint32_t>(c)) found = b;
    }
    if (found < 0) return false;
    bytes->push_back(static_cast<char>(found));
  }
  return true;
}

bool DecodeSingleByte(const ByteTable& table, const std::string& bytes, std::u32string* text) {
  for (char b : bytes) {
    uint32_t c = table.characters[static_cast<unsigned char>(b)];
    if (c == kNoCharacter) return false;
    text->push_back(static_cast<char32_t>(c));
  }
  return true;
}

// ---- double-byte code pages: iconv, one character at a time ----

bool PreferredForm(int codePage, uint32_t c, std::string* bytes) {
  for (const ByteMapping& form : kPreferredForms) {
    if (form.codePage == codePage && form.character == c) {
      *bytes = {static_cast<char>(form.byteValue >> 8), static_cast<char>(form.byteValue & 0xFF)};
      return true;
    }
  }
  return false;
}

bool EncodeMultiByte(const CodePageName& page, const std::u32string& text, std::string* bytes) {
  IconvConverter encoder(page.iconvName, kUtf32);
  IconvConverter decoder(kUtf32, page.iconvName);
  for (char32_t c : text) {
    const std::string character = Utf32Of(static_cast<uint32_t>(c));
    std::string encoded;
    std::string decoded;
    if (IsRefusedCharacter(c)) return false;
    if (!PreferredForm(page.number, c, &encoded) && !encoder.Convert(character, &encoded)) return false;
    if (!decoder.Convert(encoded, &decoded) || decoded != character) return false;
    bytes->append(encoded);
  }
  return true;
}

bool DecodeMultiByte(const CodePageName& page, const std::string& bytes, std::u32string* text) {
  IconvConverter decoder(kUtf32, page.iconvName);
  std::string utf32;
  if (!decoder.Convert(bytes, &utf32)) return false;
  *text = CodePointsOf(utf32);
  return !HasRefusedCharacter(*text);
}

// The UTF-8 code page's conversion both ways: the bytes as they are, when
// they are well-formed UTF-8.
bool CopyIfUtf8(const std::string& bytes, std::string* out) {
  std::u32string text;
  if (!DecodeUtf8(bytes, &text)) return false;
  *out = bytes;
  return true;
}

}  // namespace

bool IsSupportedCodePage(int codePage) {
  if (codePage == kCodePageUtf8) return true;
  // A C library may lack the conversion modules (a static binary, a
  // trimmed image): then the code page is not supported here either.
  const CodePageName* page = FindCodePage(codePage);
  return page != nullptr && IconvConverter(kUtf32, page->iconvName).ok();
}

bool ArgumentsAreExact() { return true; }

int GetAnsiCodePage() { return kCodePageUtf8; }

bool Utf8ToCodePage(const std::string& utf8, int codePage, std::string* out) {
  out->clear();
  if (codePage == kCodePageUtf8) return CopyIfUtf8(utf8, out);
  std::u32string text;
  if (!IsSupportedCodePage(codePage) || !DecodeUtf8(utf8, &text)) return false;
  const CodePageName& page = *FindCodePage(codePage);
  std::string bytes;
  bool ok = page.singleByte ? EncodeSingleByte(ByteTableFor(page), text, &bytes) : EncodeMultiByte(page, text, &bytes);
  if (ok) out->swap(bytes);
  return ok;
}

bool CodePageToUtf8(const std::string& bytes, int codePage, std::string* utf8) {
  utf8->clear();
  if (codePage == kCodePageUtf8) return CopyIfUtf8(bytes, utf8);
  if (!IsSupportedCodePage(codePage)) return false;
  const CodePageName& page = *FindCodePage(codePage);
  std::u32string text;
  bool ok = page.singleByte ? DecodeSingleByte(ByteTableFor(page), bytes, &text) : DecodeMultiByte(page, bytes, &text);
  return ok && EncodeUtf8(text, utf8);
}

std::string FileNameKey(const std::string& name) {
  std::string key(name);
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return key;
}

}  // namespace platform
