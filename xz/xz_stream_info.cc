#include "xz/xz_stream_info.h"

#include <lzma.h>

#include "xz/xz_block_decoder.h"

namespace xz {

Result ReadXzLayout(util::ByteSource* source, XzStreamIndex* index, XzStreamInfo* info) {
  Result result = index->Read(source);
  if (!result.ok()) return result;
  *info = XzStreamInfo();
  info->blocks = static_cast<int>(index->blocks().size());
  info->decodedSize = index->decodedSize();
  info->check = index->check() == LZMA_CHECK_CRC32 ? "CRC-32" : "CRC-64";
  for (size_t i = 0; i < index->blocks().size(); ++i) {
    XzBlockFilters filters;
    result = XzBlockDecoder::Inspect(source, index->blocks()[i], index->check(), static_cast<int>(i), &filters);
    if (!result.ok()) return result;
    if (filters.x86) ++info->x86Blocks;
    if (filters.dictionary > info->dictionary) info->dictionary = filters.dictionary;
    const uint64_t memory = filters.memory + XzBlockDecoder::kBufferBytes;
    if (memory > info->workerMemory) info->workerMemory = memory;
  }
  return Result();
}

}  // namespace xz
