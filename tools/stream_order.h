// The order in which an xz payload stores its entries, so that similar
// files sit together in the LZMA2 dictionary: every directory first, in
// scan order (so each still precedes what it holds), then the files: data
// first, then x86 programs (the branch filter's candidates), ELF images
// before Windows PE images, each group by extension, then by name, then by
// path. It depends only on the names and
// the files' first bytes, so the same folder always gives the same order.
#ifndef LM_TOOLS_STREAM_ORDER_H_
#define LM_TOOLS_STREAM_ORDER_H_

#include <string>
#include <vector>

#include "tools/folder_scan.h"
#include "tools/xz_block_plan.h"

// What `head`, a file's first bytes, starts: a program of x86 or x86-64
// code (an ELF or a Windows PE image), or anything else.
enum class FileKind { kData, kElfX86, kPeX86 };
FileKind KindOf(const std::string& head);

// Whether `head` starts a program of 32-bit x86 code, the code the x86
// branch filter helps (on x86-64 programs it was measured to cost).
bool Is32BitX86(const std::string& head);

// Reorders `entries` (as ScanFolder lists them) as above. (*contents)[i]
// tells what the entry now at i holds (a program by KindOf, a 32-bit x86
// one by Is32BitX86); a directory, or a file that cannot be read, counts
// as data (packing that file then reports it).
void OrderForXz(std::vector<PackEntry>* entries, std::vector<BlockContent>* contents);

#endif  // LM_TOOLS_STREAM_ORDER_H_
