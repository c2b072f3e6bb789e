#include "xz/xz_block_encoder.h"

#include <lzma.h>

#include <vector>

#include "xz/xz_block_decoder.h"
#include "xz/xz_failure.h"

namespace xz {

namespace {

const size_t kInputBytes = 1 << 20;
const size_t kOutputBytes = 1 << 20;
const uint32_t kSmallestDictionary = 4096;

// The filter chain of a block; `lzma` must outlive it.
struct Chain {
  Chain(const XzBlockSettings& settings, lzma_options_lzma* lzma) {
    int i = 0;
    if (settings.x86) filters[i++] = {LZMA_FILTER_X86, nullptr};
    filters[i++] = {LZMA_FILTER_LZMA2, lzma};
    filters[i] = {LZMA_VLI_UNKNOWN, nullptr};
  }
  lzma_filter filters[3];
};

bool PresetOptions(const XzBlockSettings& settings, uint64_t size, lzma_options_lzma* options) {
  uint32_t preset = static_cast<uint32_t>(settings.level) | (settings.extreme ? LZMA_PRESET_EXTREME : 0);
  if (lzma_lzma_preset(options, preset)) return false;
  options->dict_size = BlockDictionary(settings, size);
  return true;
}

}  // namespace

uint32_t BlockDictionary(const XzBlockSettings& settings, uint64_t size) {
  uint64_t requested = settings.dictionary;
  if (requested == 0) {
    lzma_options_lzma options;
    requested = lzma_lzma_preset(&options, static_cast<uint32_t>(settings.level)) ? 0 : options.dict_size;
  }
  // The stored sizes in ascending order: 4K, 6K, 8K, 12K, 16K, ...
  uint64_t atMost = kSmallestDictionary;
  for (uint64_t power = kSmallestDictionary; power <= (uint64_t{1} << 31); power *= 2) {
    for (uint64_t stored : {power, power + power / 2}) {
      if (stored <= requested) atMost = stored;
      if (stored >= size) return static_cast<uint32_t>(stored < atMost ? stored : atMost);
    }
  }
  return static_cast<uint32_t>(atMost);
}

uint64_t BlockEncoderMemory(const XzBlockSettings& settings, uint64_t size) {
  lzma_options_lzma options;
  if (!PresetOptions(settings, size, &options)) return 0;
  Chain chain(settings, &options);
  return lzma_raw_encoder_memusage(chain.filters);
}

uint64_t BlockDecoderMemory(const XzBlockSettings& settings, uint64_t size) {
  lzma_options_lzma options;
  if (!PresetOptions(settings, size, &options)) return 0;
  Chain chain(settings, &options);
  return lzma_raw_decoder_memusage(chain.filters) + XzBlockDecoder::kBufferBytes;
}

uint64_t EncodedBlockBound(uint64_t size) { return lzma_block_buffer_bound(static_cast<size_t>(size)); }

Result EncodeXzBlock(const XzBlockSettings& settings, uint64_t size, const XzBlockInput& input, std::string* out,
                     uint64_t* unpaddedSize) {
  lzma_options_lzma options;
  if (!PresetOptions(settings, size, &options)) return Unsupported("level");
  Chain chain(settings, &options);
  lzma_block block{};
  block.version = 0;
  block.check = LZMA_CHECK_CRC64;
  block.filters = chain.filters;
  block.compressed_size = LZMA_VLI_UNKNOWN;
  block.uncompressed_size = LZMA_VLI_UNKNOWN;
  lzma_stream stream = LZMA_STREAM_INIT;
  lzma_ret ret = lzma_block_encoder(&stream, &block);
  std::vector<char> in(size < kInputBytes ? static_cast<size_t>(size) + 1 : kInputBytes);
  std::string data;
  uint64_t remaining = size;
  Result result;
  while (ret == LZMA_OK) {
    if (stream.avail_in == 0 && remaining > 0) {
      size_t got = 0;
      result = input(in.data(), remaining < in.size() ? static_cast<size_t>(remaining) : in.size(), &got);
      if (result.ok() && got == 0) result = Result::Fail(Outcome::kUnreadable, "the input ended early");
      if (!result.ok()) break;
      stream.next_in = reinterpret_cast<const uint8_t*>(in.data());
      stream.avail_in = got;
      remaining -= got;
    }
    const size_t before = data.size();
    data.resize(before + kOutputBytes);
    stream.next_out = reinterpret_cast<uint8_t*>(&data[before]);
    stream.avail_out = kOutputBytes;
    ret = lzma_code(&stream, remaining == 0 && stream.avail_in == 0 ? LZMA_FINISH : LZMA_RUN);
    data.resize(data.size() - stream.avail_out);
  }
  lzma_end(&stream);
  if (!result.ok()) return result;
  if (ret != LZMA_STREAM_END) return LzmaFailure(ret);
  uint8_t header[LZMA_BLOCK_HEADER_SIZE_MAX];
  if (lzma_block_header_size(&block) != LZMA_OK || lzma_block_header_encode(&block, header) != LZMA_OK) {
    return Unsupported("block header");
  }
  out->append(reinterpret_cast<const char*>(header), block.header_size);
  out->append(data);
  *unpaddedSize = lzma_block_unpadded_size(&block);
  return Result();
}

}  // namespace xz
