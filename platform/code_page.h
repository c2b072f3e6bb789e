// Text conversion between UTF-8 and the Windows code pages that payload
// names are stored in.
//
// Nothing is ever replaced by a look-alike ("best fit") or by a default
// character: a text the code page cannot represent exactly is refused, and
// so are bytes that are not a valid sequence in it. The Windows port uses
// the system's tables (MultiByteToWideChar / WideCharToMultiByte), the POSIX
// port glibc's iconv; where the two libraries differ, the rules below make
// both give the same answer and the same bytes for the same text:
//
//  * The C1 controls U+0080-U+009F and the private-use characters
//    U+E000-U+F8FF are refused in every code page but 65001. Windows maps
//    bytes that its tables leave undefined to them (0x81 0x8D 0x8F 0x90 0x9D
//    of 1252 to U+0081..., 0xA0 of 932 to U+F8F0, the end-user-defined
//    double-byte ranges of 932, 936, 949 and 950 to U+E000...); iconv
//    refuses those bytes. Neither kind is a character a name needs.
//  * A character is accepted only when the bytes it becomes decode back to
//    it. This refuses the one-way entries of either library: iconv's CP932
//    turns U+00A5 YEN SIGN into 0x5C '\' and U+301C WAVE DASH into the bytes
//    of U+FF5E; Windows' 1253 turns U+F8F9 into 0xAA.
//  * Single-byte code pages neither compose nor decompose. In 1258, "A"
//    followed by U+0303 COMBINING TILDE is 0x41 0xDE and decodes back to
//    those two characters, while the precomposed U+00C3, which has no byte
//    of its own, is refused (iconv alone would decompose it; Windows refuses
//    it). Likewise for the Hebrew presentation forms U+FB1D... in 1255.
//  * Where a character has two byte forms, the one Windows writes is used
//    (950: U+2550 U+255E U+2561 U+256A as 0xF9F9 0xF9E9 0xF9EB 0xF9EA);
//    both forms decode to it. 0xCA of 1255 is U+05BA, as in Windows' table.
//
// Code page 65001 is UTF-8 itself: any valid UTF-8 passes unchanged. Valid
// UTF-8 excludes overlong forms, encoded surrogates (U+D800-U+DFFF),
// anything past U+10FFFF and truncated sequences; U+0000 is an ordinary
// character (the strings carry their length).
//
// All functions are thread-safe. On failure the output string is empty.
#ifndef LM_PLATFORM_CODE_PAGE_H_
#define LM_PLATFORM_CODE_PAGE_H_

#include <string>

namespace platform {

const int kCodePageUtf8 = 65001;

// True for the code pages this module converts, the same on every platform:
// the OEM code pages 437, 850, 852 and 866, the ANSI code pages 874, 932
// (Shift JIS), 936 (GBK), 949 (Unified Hangul), 950 (Big5) and 1250-1258,
// and 65001. On Windows the system must have the code page as well.
bool IsSupportedCodePage(int codePage);

// The code page the system's narrow ("A") calls take paths in: GetACP() on
// Windows. Elsewhere 65001: file names are byte strings, and this project
// takes them as UTF-8 whatever the locale says.
int GetAnsiCodePage();

// Whether this process's arguments (main's argv, in the ANSI code page)
// hold its command line exactly: on Windows false when the command line has
// a character the ANSI code page cannot represent, which the system hands
// to argv replaced by a near one or '?'. Elsewhere always true.
bool ArgumentsAreExact();

// `utf8` as bytes of `codePage`. False when the code page is not supported,
// `utf8` is not valid UTF-8, or a character is not representable exactly.
bool Utf8ToCodePage(const std::string& utf8, int codePage, std::string* out);

// `bytes` of `codePage` as UTF-8. False when the code page is not supported
// or the bytes are not a sequence of characters of the code page (an
// undefined byte, a lead byte without a valid trail byte, invalid UTF-8).
bool CodePageToUtf8(const std::string& bytes, int codePage, std::string* utf8);

// The form in which two names that this system's file system takes for one
// name are equal: on Windows `name` read in the ANSI code page, as UTF-16
// upper-cased by the file system's rules (LCMapStringW with LCMAP_UPPERCASE
// and without LCMAP_LINGUISTIC_CASING, which Microsoft documents as the
// file system's casing; LOCALE_INVARIANT, so that no user's language
// changes it), bytes that are no character read as the file calls read
// them (the code page's default character). Elsewhere, where
// names are bytes, `name` with its ASCII letters in lower case: setups are
// made for Windows, whose case rule for ASCII every system keeps.
std::string FileNameKey(const std::string& name);

}  // namespace platform

#endif  // LM_PLATFORM_CODE_PAGE_H_
