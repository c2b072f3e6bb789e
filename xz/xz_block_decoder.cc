#include "xz/xz_block_decoder.h"

#include <lzma.h>

#include <vector>

#include "platform/memory.h"
#include "xz/xz_failure.h"

namespace xz {

namespace {

const size_t kInputBytes = 64 << 10;
const size_t kOutputBytes = 256 << 10;

// A decoded block header; owns the filters' options.
struct Header {
  Header() {
    filters[0].id = LZMA_VLI_UNKNOWN;
    block.filters = filters;
  }
  ~Header() { lzma_filters_free(filters, nullptr); }
  Header(const Header&) = delete;
  Header& operator=(const Header&) = delete;

  lzma_block block{};
  lzma_filter filters[LZMA_FILTERS_MAX + 1];
};

// LZMA2 alone, or x86 then LZMA2: the chains lmpack writes, and the only
// ones the Windows launcher's liblzma can decode.
bool IsTakenChain(const lzma_filter* filters) {
  if (filters[0].id == LZMA_FILTER_X86) ++filters;
  return filters[0].id == LZMA_FILTER_LZMA2 && filters[1].id == LZMA_VLI_UNKNOWN;
}

Result ReadHeader(util::ByteSource* source, const XzBlock& entry, int check, int number, Header* header) {
  uint8_t bytes[LZMA_BLOCK_HEADER_SIZE_MAX];
  Result result = ReadExactly(source, entry.offset, bytes, 1);
  if (!result.ok()) return result;
  // A zero byte starts the index, not a block.
  if (bytes[0] == 0) return Corrupt("the xz index lists a block where there is none");
  const uint32_t size = lzma_block_header_size_decode(bytes[0]);
  if (size >= entry.unpaddedSize) return Corrupt("a block header too long", number);
  result = ReadExactly(source, entry.offset + 1, bytes + 1, size - 1);
  if (!result.ok()) return result;
  lzma_block& block = header->block;
  block.version = 1;
  block.check = static_cast<lzma_check>(check);
  block.header_size = size;
  lzma_ret ret = lzma_block_header_decode(&block, DecodingAllocator(), bytes);
  if (ret != LZMA_OK) return LzmaFailure(ret, number);
  if (!IsTakenChain(header->filters)) return Unsupported("filter", number);
  // Sizes the header states must be the index's.
  if (lzma_block_compressed_size(&block, entry.unpaddedSize) != LZMA_OK ||
      (block.uncompressed_size != LZMA_VLI_UNKNOWN && block.uncompressed_size != entry.decodedSize)) {
    return Corrupt("a block header that disagrees with the xz index", number);
  }
  block.uncompressed_size = entry.decodedSize;
  return Result();
}

}  // namespace

struct XzBlockDecoder::State {
  lzma_stream stream = LZMA_STREAM_INIT;
  std::vector<uint8_t> input;
  std::vector<uint8_t> output;
};

XzBlockDecoder::XzBlockDecoder() : state_(new State) { state_->stream.allocator = DecodingAllocator(); }

XzBlockDecoder::~XzBlockDecoder() { lzma_end(&state_->stream); }

Result XzBlockDecoder::Inspect(util::ByteSource* source, const XzBlock& block, int check, int number,
                               XzBlockFilters* filters) {
  Header header;
  Result result = ReadHeader(source, block, check, number, &header);
  if (!result.ok()) return result;
  const lzma_filter* last = header.filters[0].id == LZMA_FILTER_X86 ? &header.filters[1] : &header.filters[0];
  filters->x86 = last != &header.filters[0];
  filters->dictionary = static_cast<const lzma_options_lzma*>(last->options)->dict_size;
  filters->memory = lzma_raw_decoder_memusage(header.filters);
  return Result();
}

Result XzBlockDecoder::Decode(util::ByteSource* source, const XzBlock& entry, int check, int number,
                              DecodedOutput* output, const std::atomic<size_t>* firstFailed) {
  // Memory ran out: no further block's buffers and dictionary are taken.
  if (platform::MemoryRanOut()) return NoMemory();
  Header header;
  Result result = ReadHeader(source, entry, check, number, &header);
  if (!result.ok()) return result;
  lzma_stream* stream = &state_->stream;
  lzma_ret ret = lzma_block_decoder(stream, &header.block);
  if (ret != LZMA_OK) return LzmaFailure(ret, number);
  state_->input.resize(kInputBytes);
  state_->output.resize(kOutputBytes);
  uint64_t position = entry.offset + header.block.header_size;
  const uint64_t end = entry.offset + entry.totalSize;
  if (!source->Seek(position)) return Unreadable();
  stream->avail_in = 0;
  for (;;) {
    if (firstFailed->load(std::memory_order_relaxed) < static_cast<size_t>(number)) return Corrupt("stopped");
    if (stream->avail_in == 0 && position < end) {
      size_t piece = end - position < kInputBytes ? static_cast<size_t>(end - position) : kInputBytes;
      if (source->Read(state_->input.data(), piece) != static_cast<int64_t>(piece)) return Unreadable();
      stream->next_in = state_->input.data();
      stream->avail_in = piece;
      position += piece;
    }
    stream->next_out = state_->output.data();
    stream->avail_out = kOutputBytes;
    ret = lzma_code(stream, position == end ? LZMA_FINISH : LZMA_RUN);
    const size_t produced = kOutputBytes - stream->avail_out;
    if (produced > 0) {
      result =
          output->Write(static_cast<size_t>(number), reinterpret_cast<const char*>(state_->output.data()), produced);
      if (!result.ok()) return result;
    }
    if (ret == LZMA_STREAM_END) break;
    if (ret != LZMA_OK) return LzmaFailure(ret, number);
  }
  // The block's padding and check end exactly where the index says.
  if (stream->avail_in != 0 || position != end) {
    return Corrupt("data that ends before the xz index says", number);
  }
  return Result();
}

}  // namespace xz
