#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const int kAllCodePages[] = {437,  850,  852,  866,  874,  932,  936,  949,  950,  1250,
                             1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258, 65001};

struct Sample {
  int codePage;
  const char* utf8;
  const char* bytes;  // written out here, so that both ports answer to the same table
};

// Bytes as Windows writes them. The last rows of some code pages are where
// glibc's tables differ from Windows' and code_page.h's rules decide.
const Sample kSamples[] = {
    {1252, "Müller-Lüdenscheidt, Straße, Ærø, façade, naïve, œuvre €5 ™ ‰ Ÿ",
     "M\xFCller-L\xFC"
     "denscheidt, Stra\xDF"
     "e, \xC6r\xF8, fa\xE7"
     "ade, na\xEFve, \x9Cuvre \x80"
     "5 \x99 \x89 \x9F"},
    {1252, "À bientôt, Noël", "\xC0 bient\xF4t, No\xEBl"},
    {1251, "Привет, мир! Ёлка № Ђ ћ ґ", "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0! \xA8\xEB\xEA\xE0 \xB9 \x80 \x9E \xB4"},
    {932, "日本語のファイル名 ｶﾀｶﾅ ー～①",
     "\x93\xFA\x96{\x8C\xEA\x82\xCC\x83t\x83@\x83"
     "C\x83\x8B\x96\xBC \xB6\xC0\xB6\xC5 \x81[\x81`\x87@"},
    {932, "C:\\dir\\~x", "C:\\dir\\~x"},  // 0x5C and 0x7E stay '\' and '~'
    {936, "中文文件名 €", "\xD6\xD0\xCE\xC4\xCE\xC4\xBC\xFE\xC3\xFB \x80"},
    {949, "한국어 파일", "\xC7\xD1\xB1\xB9\xBE\xEE \xC6\xC4\xC0\xCF"},
    {950, "繁體中文",
     "\xC1"
     "c\xC5\xE9\xA4\xA4\xA4\xE5"},
    {950, "═╞╡╪", "\xF9\xF9\xF9\xE9\xF9\xEB\xF9\xEA"},
    {874, "ภาษาไทย", "\xC0\xD2\xC9\xD2\xE4\xB7\xC2"},
    {1250, "Łódź Žluťoučký kůň",
     "\xA3\xF3"
     "d\x9F \x8Elu\x9Dou\xE8k\xFD k\xF9\xF2"},
    {1253, "Ελληνικά ΆΈ", "\xC5\xEB\xEB\xE7\xED\xE9\xEA\xDC \xA2\xB8"},
    {1254, "İstanbul ğüşiöç", "\xDDstanbul \xF0\xFC\xFEi\xF6\xE7"},
    {1255, "עברית", "\xF2\xE1\xF8\xE9\xFA"},
    {1255, "\xD7\x95\xD6\xBA", "\xE5\xCA"},  // U+05D5 U+05BA
    {1256, "العربية", "\xC7\xE1\xDA\xD1\xC8\xED\xC9"},
    {1257, "Ąžuolas Lietuvių", "\xC0\xFEuolas Lietuvi\xF8"},
    {1258, "Vi\xC3\xAA\xCC\xA3t Nam", "Vi\xEA\xF2t Nam"},  // e-circumflex, U+0323 combining dot below
    {1258, "A\xCC\x83", "A\xDE"},                          // A, U+0303 combining tilde: not composed
    {437, "Größe ½ ░",
     "Gr\x94\xE1"
     "e \xAB \xB0"},
    {850, "Ñandú Øre",
     "\xA5"
     "and\xA3 \x9Dre"},
    {852, "Łódź Ďábel",
     "\x9D\xA2"
     "d\xAB \xD2\xA0"
     "bel"},
    {866, "Привет Ёж", "\x8F\xE0\xA8\xA2\xA5\xE2 \xF0\xA6"},
    {65001, "Ünïcödé 日本 \xF0\x9F\x98\x80 \xEF\xBF\xBF \xF4\x8F\xBF\xBF",
     "Ünïcödé 日本 \xF0\x9F\x98\x80 \xEF\xBF\xBF \xF4\x8F\xBF\xBF"},
};

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (unsigned char b : bytes) {
    text += kDigits[b >> 4];
    text += kDigits[b & 15];
    text += ' ';
  }
  return text;
}

TEST(CodePageTest, SupportedCodePages) {
  for (int codePage : kAllCodePages) EXPECT_TRUE(platform::IsSupportedCodePage(codePage)) << codePage;
  for (int codePage : {-1, 0, 1, 2, 42, 1200, 1201, 20127, 20932, 28591, 54936, 65000, 65002}) {
    EXPECT_FALSE(platform::IsSupportedCodePage(codePage)) << codePage;
    std::string out = "x";
    EXPECT_FALSE(platform::Utf8ToCodePage("abc", codePage, &out)) << codePage;
    EXPECT_EQ("", out);
    EXPECT_FALSE(platform::CodePageToUtf8("abc", codePage, &out)) << codePage;
  }
  EXPECT_TRUE(platform::IsSupportedCodePage(platform::GetAnsiCodePage()));
}

TEST(CodePageTest, SamplesConvertToTheTableBytesAndBack) {
  for (const Sample& sample : kSamples) {
    std::string bytes;
    std::string utf8;
    ASSERT_TRUE(platform::Utf8ToCodePage(sample.utf8, sample.codePage, &bytes))
        << sample.codePage << " " << sample.utf8;
    EXPECT_EQ(Hex(sample.bytes), Hex(bytes)) << sample.codePage << " " << sample.utf8;
    ASSERT_TRUE(platform::CodePageToUtf8(sample.bytes, sample.codePage, &utf8))
        << sample.codePage << " " << sample.utf8;
    EXPECT_EQ(sample.utf8, utf8) << sample.codePage;
  }
}

TEST(CodePageTest, AsciiIsTheSameInEveryCodePage) {
  std::string ascii;
  for (int c = 0; c < 0x80; ++c) ascii.push_back(static_cast<char>(c));
  for (int codePage : kAllCodePages) {
    std::string out;
    ASSERT_TRUE(platform::Utf8ToCodePage(ascii, codePage, &out)) << codePage;
    EXPECT_EQ(ascii, out) << codePage;
    ASSERT_TRUE(platform::CodePageToUtf8(ascii, codePage, &out)) << codePage;
    EXPECT_EQ(ascii, out) << codePage;
  }
  std::string empty = "x";
  EXPECT_TRUE(platform::Utf8ToCodePage("", 932, &empty));
  EXPECT_EQ("", empty);
}

TEST(CodePageTest, UnrepresentableTextIsRefused) {
  const Sample kRefused[] = {
      {1252, "Привет", nullptr},
      {1252, "Müller Привет", nullptr},  // one foreign letter spoils the name
      {1251, "Müller", nullptr},
      {1252, "日本", nullptr},
      {1252, "\xC2\x81", nullptr},  // U+0081: Windows would write 0x81
      {1252, "\xC2\x9D", nullptr},
      {1252, "\xEE\x80\x80", nullptr},  // U+E000
      {932, "\xC2\xA5", nullptr},       // U+00A5 YEN SIGN: never 0x5C '\'
      {932, "\xC2\xA2", nullptr},       // U+00A2: iconv writes 0x8191, which reads as U+FFE0
      {932, "\xE3\x80\x9C", nullptr},   // U+301C WAVE DASH: iconv writes U+FF5E's bytes
      {932, "\xEE\x80\x80", nullptr},   // U+E000: Windows would write 0xF040
      {932, "\xF0\x9F\x98\x80", nullptr},
      {936, "\xEE\x80\x80", nullptr},
      {949, "\xEE\x80\x80", nullptr},
      {950, "\xEE\x80\x80", nullptr},
      {1253, "\xEF\xA3\xB9", nullptr},     // U+F8F9: Windows writes 0xAA, which reads as nothing
      {1258, "\xC3\x83", nullptr},         // U+00C3: iconv would decompose it
      {1258, "Vi\xE1\xBB\x87t", nullptr},  // U+1EC7 precomposed
      {1255, "\xEF\xAC\x9D", nullptr},     // U+FB1D: iconv would decompose it
      {437, "€", nullptr},
      {874, "\xC2\x85", nullptr},
  };
  for (const Sample& sample : kRefused) {
    std::string out = "x";
    EXPECT_FALSE(platform::Utf8ToCodePage(sample.utf8, sample.codePage, &out))
        << sample.codePage << " " << Hex(sample.utf8);
    EXPECT_EQ("", out);
  }
}

TEST(CodePageTest, InvalidUtf8IsRefusedEverywhere) {
  const char* const kInvalid[] = {
      "\xC3",              // truncated
      "abc\xE2\x82",       // truncated at the end
      "\x80",              // lone continuation byte
      "\xC0\x80",          // overlong NUL
      "\xE0\x80\xAF",      // overlong '/'
      "\xED\xA0\x80",      // U+D800
      "\xED\xBF\xBF",      // U+DFFF
      "\xF4\x90\x80\x80",  // past U+10FFFF
      "\xF8\x88\x80\x80\x80",
      "\xFE",
      "\xFF",
      "a\xC3(b",
  };
  for (int codePage : {1252, 1251, 932, 936, 1258, 65001}) {
    for (const char* text : kInvalid) {
      std::string out = "x";
      EXPECT_FALSE(platform::Utf8ToCodePage(text, codePage, &out)) << codePage << " " << Hex(text);
      EXPECT_EQ("", out);
      if (codePage == 65001) {
        EXPECT_FALSE(platform::CodePageToUtf8(text, codePage, &out)) << Hex(text);
      }
    }
  }
}

TEST(CodePageTest, InvalidBytesAreRefused) {
  const Sample kInvalid[] = {
      {1252, nullptr, "\x81"},    {1252, nullptr, "a\x8D"},   {1252, nullptr, "\x8F"},
      {1252, nullptr, "\x90"},    {1252, nullptr, "\x9D"},    {1251, nullptr, "\x98"},
      {1250, nullptr, "\x83"},    {1253, nullptr, "\xAA"},    {1255, nullptr, "\xD9"},
      {874, nullptr, "\xDB"},     {932, nullptr, "\x81"},  // lead byte at the end
      {932, nullptr, "\x81\x20"},                          // invalid trail byte
      {932, nullptr, "\x80"},     {932, nullptr, "\xA0"},     {932, nullptr, "\xFD"},
      {932, nullptr, "\xF0\x40"},  // end-user-defined character
      {936, nullptr, "\xFF"},     {936, nullptr, "\xAA\xA1"}, {949, nullptr, "\xC9\xA1"},
      {950, nullptr, "\xFA\x40"}, {950, nullptr, "\x80"},
  };
  for (const Sample& sample : kInvalid) {
    std::string out = "x";
    EXPECT_FALSE(platform::CodePageToUtf8(sample.bytes, sample.codePage, &out))
        << sample.codePage << " " << Hex(sample.bytes);
    EXPECT_EQ("", out);
  }
  // Both byte forms of a 950 box-drawing character read as the character.
  std::string utf8;
  ASSERT_TRUE(platform::CodePageToUtf8("\xA2\xA4", 950, &utf8));
  EXPECT_EQ("═", utf8);
}

}  // namespace
