#include "xz/xz_stream_index.h"

#include <lzma.h>

#include <memory>
#include <string>

#include "xz/xz_failure.h"

namespace xz {

namespace {

// The header and the footer of a stream, each 12 bytes.
const uint64_t kFlagsSize = LZMA_STREAM_HEADER_SIZE;
// What the index decoder may allocate: far more than kMaxIndexBytes of
// records need.
const uint64_t kIndexMemory = 32 << 20;

struct IndexDeleter {
  void operator()(lzma_index* index) const { lzma_index_end(index, nullptr); }
};

Result ReadFlags(util::ByteSource* source, uint64_t position, bool footer, lzma_stream_flags* flags) {
  uint8_t bytes[kFlagsSize];
  Result result = ReadExactly(source, position, bytes, sizeof(bytes));
  if (!result.ok()) return result;
  lzma_ret ret = footer ? lzma_stream_footer_decode(flags, bytes) : lzma_stream_header_decode(flags, bytes);
  if (ret == LZMA_OK) return Result();
  if (ret == LZMA_OPTIONS_ERROR) return Unsupported(footer ? "stream footer" : "stream header");
  if (footer && ret == LZMA_FORMAT_ERROR) return Corrupt("the data does not end with the end of the xz stream");
  return Corrupt(footer ? "the xz stream footer is damaged" : "the xz stream header is damaged");
}

}  // namespace

Result ReadExactly(util::ByteSource* source, uint64_t position, void* buffer, size_t size) {
  if (position > source->length() || size > source->length() - position) {
    return Corrupt("the xz stream ends before its data");
  }
  if (!source->Seek(position)) return Unreadable();
  char* out = static_cast<char*>(buffer);
  while (size > 0) {
    int64_t n = source->Read(out, size);
    if (n <= 0) return Unreadable();
    out += n;
    size -= static_cast<size_t>(n);
  }
  return Result();
}

Result XzStreamIndex::Read(util::ByteSource* source) {
  blocks_.clear();
  decodedSize_ = 0;
  const uint64_t length = source->length();
  if (length < 2 * kFlagsSize) return Corrupt("the data is too short for an xz stream");
  lzma_stream_flags header;
  lzma_stream_flags footer;
  Result result = ReadFlags(source, 0, false, &header);
  if (result.ok()) result = ReadFlags(source, length - kFlagsSize, true, &footer);
  if (!result.ok()) return result;
  if (lzma_stream_flags_compare(&header, &footer) != LZMA_OK) {
    return Corrupt("the xz stream header and footer disagree");
  }
  if (header.check != LZMA_CHECK_CRC32 && header.check != LZMA_CHECK_CRC64) {
    return Unsupported("integrity check (only CRC-32 and CRC-64 are read)");
  }
  check_ = header.check;
  const uint64_t indexSize = footer.backward_size;
  if (indexSize > kMaxIndexBytes) return Unsupported("index of more than 1 MiB");
  if (indexSize > length - 2 * kFlagsSize) return Corrupt("the xz index is larger than the stream");
  const uint64_t indexOffset = length - kFlagsSize - indexSize;

  std::unique_ptr<uint8_t[]> bytes(new uint8_t[indexSize]);
  result = ReadExactly(source, indexOffset, bytes.get(), indexSize);
  if (!result.ok()) return result;
  // The index begins with a zero byte and its number of records.
  lzma_vli records = 0;
  size_t position = 1;
  if (indexSize > 1 && bytes[0] == 0 &&
      lzma_vli_decode(&records, nullptr, bytes.get(), &position, indexSize) == LZMA_OK && records > kMaxBlocks) {
    return Unsupported("stream of more than 16384 blocks");
  }
  lzma_index* decoded = nullptr;
  uint64_t memory = kIndexMemory;
  size_t used = 0;
  lzma_ret ret = lzma_index_buffer_decode(&decoded, &memory, DecodingAllocator(), bytes.get(), &used, indexSize);
  std::unique_ptr<lzma_index, IndexDeleter> index(decoded);
  if (ret == LZMA_MEM_ERROR) return NoMemory();
  if (ret != LZMA_OK || used != indexSize) return Corrupt("the xz index is damaged");
  if (lzma_index_stream_flags(index.get(), &footer) != LZMA_OK || lzma_index_size(index.get()) != indexSize ||
      lzma_index_file_size(index.get()) != length) {
    return Corrupt("the xz index does not describe the stream's blocks");
  }

  lzma_index_iter iter;
  lzma_index_iter_init(&iter, index.get());
  while (!lzma_index_iter_next(&iter, LZMA_INDEX_ITER_BLOCK)) {
    XzBlock block;
    block.offset = iter.block.compressed_file_offset;
    block.unpaddedSize = iter.block.unpadded_size;
    block.totalSize = iter.block.total_size;
    block.decodedOffset = iter.block.uncompressed_file_offset;
    block.decodedSize = iter.block.uncompressed_size;
    blocks_.push_back(block);
  }
  decodedSize_ = lzma_index_uncompressed_size(index.get());
  return Result();
}

}  // namespace xz
