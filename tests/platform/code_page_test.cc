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
     "M\374ller-L\374denscheidt, Stra\337e, \306r\370, fa\347ade, na\357ve, \234uvre \2005 \231 \211 \237"},
    {1252, "À bientôt, Noël", "\300 bient\364t, No\353l"},
    {1251, "Привет, мир! Ёлка № Ђ ћ ґ", "\317\360\350\342\345\362, \354\350\360! \250\353\352\340 \271 \200 \236 \264"},
    {932, "日本語のファイル名 ｶﾀｶﾅ ー～①",
     "\223\372\226{\214\352\202\314\203t\203@\203C\203\213\226\274 \266\300\266\305 \201[\201`\207@"},
    {932, "C:\\dir\\~x", "C:\\dir\\~x"},  // 0x5C and 0x7E stay '\' and '~'
    {936, "中文文件名 €", "\326\320\316\304\316\304\274\376\303\373 \200"},
    {949, "한국어 파일", "\307\321\261\271\276\356 \306\304\300\317"},
    {950, "繁體中文", "\301c\305\351\244\244\244\345"},
    {950, "═╞╡╪", "\371\371\371\351\371\353\371\352"},
    {874, "ภาษาไทย", "\300\322\311\322\344\267\302"},
    {1250, "Łódź Žluťoučký kůň", "\243\363d\237 \216lu\235ou\350k\375 k\371\362"},
    {1253, "Ελληνικά ΆΈ", "\305\353\353\347\355\351\352\334 \242\270"},
    {1254, "İstanbul ğüşiöç", "\335stanbul \360\374\376i\366\347"},
    {1255, "עברית", "\362\341\370\351\372"},
    {1255, "\327\225\326\272", "\345\312"},  // U+05D5 U+05BA
    {1256, "العربية", "\307\341\332\321\310\355\311"},
    {1257, "Ąžuolas Lietuvių", "\300\376uolas Lietuvi\370"},
    {1258, "Vi\303\252\314\243t Nam", "Vi\352\362t Nam"},  // e-circumflex, U+0323 combining dot below
    {1258, "A\314\203", "A\336"},                          // A, U+0303 combining tilde: not composed
    {437, "Größe ½ ░", "Gr\224\341e \253 \260"},
    {850, "Ñandú Øre", "\245and\243 \235re"},
    {852, "Łódź Ďábel", "\235\242d\253 \322\240bel"},
    {866, "Привет Ёж", "\217\340\250\242\245\342 \360\246"},
    {65001, "Ünïcödé 日本 \360\237\230\200 \357\277\277 \364\217\277\277",
     "Ünïcödé 日本 \360\237\230\200 \357\277\277 \364\217\277\277"},
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
