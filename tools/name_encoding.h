// How lmpack turns the folder's names into the bytes a payload stores, and
// back for display and for extract.
//
// A payload's names are bytes in the ANSI code page of the machine that
// unpacks it. lmpack reads names as text (UTF-8, as this project takes
// file names on POSIX) and, for the Windows target, writes them in the code
// page the user declares; ASCII names are the same bytes in every code page
// and need no declaration. For the native target names are stored exactly
// as the file system has them.
#ifndef LM_TOOLS_NAME_ENCODING_H_
#define LM_TOOLS_NAME_ENCODING_H_

#include <string>

#include "util/result.h"

// No code page declared: only ASCII names can be packed.
const int kNoCodePage = 0;
// Names are stored as they stand (the native target).
const int kStoreAsIs = -1;

// The payload bytes of `text` (a path whose components are joined by '\').
// kBadInput, with the reason, when a name is not ASCII and no code page
// was declared, when the code page cannot represent it exactly, or
// when its bytes in that code page would not be a safe name (a double-byte
// character whose second byte is '\', for example).
Result EncodePayloadPath(const std::string& text, int codePage, std::string* bytes);

// The payload bytes of `text` that is not a path (the launch arguments):
// as EncodePayloadPath, without the rules for names.
Result EncodePayloadText(const std::string& text, int codePage, std::string* bytes);

// `bytes` from a payload (a path whose components are joined by '\') as
// this system's file name, for extract: each component converted from
// `codePage` into the ANSI code page (UTF-8 on POSIX), or left as stored
// with kNoCodePage. kBadInput, with the reason, when a component is
// not valid in `codePage`, cannot be written in the ANSI code page, or
// would not be a safe name there.
Result DecodePayloadPath(const std::string& bytes, int codePage, std::string* name);

// `bytes` from a payload as text for a terminal: converted from `codePage`
// where it decodes; otherwise (and without a code page) ASCII as it is and
// every other byte as \xNN.
std::string DisplayPayloadText(const std::string& bytes, int codePage);

#endif  // LM_TOOLS_NAME_ENCODING_H_
