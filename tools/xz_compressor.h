// lmpack's xz compression: the files' contents, in the order of `entries`
// (OrderForXz), as one .xz stream whose blocks PlanXzBlocks cuts. Blocks
// are encoded on options.jobs threads (fewer when this machine's memory
// would not hold their encoders) and written in order; a block of 32-bit
// x86 programs is encoded with the branch filter. The output is the same
// for every number of threads.
#ifndef LM_TOOLS_XZ_COMPRESSOR_H_
#define LM_TOOLS_XZ_COMPRESSOR_H_

#include <cstdint>
#include <vector>

#include "tools/compressed_output.h"
#include "tools/folder_scan.h"
#include "tools/lmpack_options.h"
#include "tools/xz_block_plan.h"
#include "util/result.h"
#include "xz/xz_block_encoder.h"

// The largest block lmpack aims at when not told (DefaultXzBlockBytes
// aims at two blocks below it): large enough that a dictionary restart
// costs little (on a tree of Windows programs and Python's library, two
// blocks instead of one cost 1.5 %, four 5 %), small enough that a setup of
// a few hundred megabytes decodes on several cores.
const uint64_t kXzBlockBytes = uint64_t{128} << 20;

// Writes the stream to `out`. `contents[i]` tells what entries[i] holds.
// kUnreadable when a file cannot be read or changed while it was
// read; kBadInput when the stream would reach out's limit, or no launcher
// would decode it (more than xz::XzStreamIndex::kMaxBlocks blocks, or a
// block whose stored dictionary needs more than
// payload::kMostDecodeMemory); kWriteFault when `out` cannot be written;
// kNoMemory.
Result CompressFilesXz(const LmpackOptions& options, const std::vector<PackEntry>& entries,
                       const std::vector<BlockContent>& contents, CompressedOutput* out);

// The threads, of `jobs` wanted, that lmpack runs when each takes `perJob`
// bytes: it keeps to half the physical memory and half the address space
// left (a 32-bit lmpack has at most 4 GiB); 0 for either figure: unknown.
// At least 1.
int JobsMemoryHolds(int jobs, uint64_t perJob, uint64_t physicalMemory, uint64_t addressSpaceLeft);

// What CompressFilesXz refuses before it encodes anything: a plan of more
// blocks than a launcher reads, or whose largest block's stored dictionary
// needs more than any launcher allows one thread. kBadInput, saying which.
Result CheckXzDecodable(const xz::XzBlockSettings& settings, const std::vector<PlannedBlock>& plan);

#endif  // LM_TOOLS_XZ_COMPRESSOR_H_
