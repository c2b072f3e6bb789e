#include "xz/xz_stream_writer.h"

#include <lzma.h>

#include <vector>

#include "xz/xz_failure.h"

namespace xz {

namespace {

lzma_stream_flags Flags() {
  lzma_stream_flags flags{};
  flags.version = 0;
  flags.check = LZMA_CHECK_CRC64;
  return flags;
}

}  // namespace

// A failed allocation leaves index_ null; AddBlock and Finish then report
// it.
XzStreamWriter::XzStreamWriter() : index_(lzma_index_init(nullptr)) {}

XzStreamWriter::~XzStreamWriter() { lzma_index_end(index_, nullptr); }

std::string XzStreamWriter::Header() {
  lzma_stream_flags flags = Flags();
  uint8_t bytes[LZMA_STREAM_HEADER_SIZE];
  // Fails only for flags other than these.
  if (lzma_stream_header_encode(&flags, bytes) != LZMA_OK) return std::string();
  return std::string(reinterpret_cast<const char*>(bytes), sizeof(bytes));
}

Result XzStreamWriter::AddBlock(uint64_t unpaddedSize, uint64_t decodedSize) {
  if (index_ == nullptr) return NoMemory();
  lzma_ret ret = lzma_index_append(index_, nullptr, unpaddedSize, decodedSize);
  return ret == LZMA_OK ? Result() : LzmaFailure(ret);
}

Result XzStreamWriter::Finish(std::string* tail) {
  if (index_ == nullptr) return NoMemory();
  std::vector<uint8_t> bytes(lzma_index_size(index_) + LZMA_STREAM_HEADER_SIZE);
  size_t used = 0;
  lzma_ret ret = lzma_index_buffer_encode(index_, bytes.data(), &used, bytes.size());
  if (ret != LZMA_OK) return LzmaFailure(ret);
  lzma_stream_flags flags = Flags();
  flags.backward_size = lzma_index_size(index_);
  if (lzma_stream_footer_encode(&flags, bytes.data() + used) != LZMA_OK) return Unsupported("stream footer");
  tail->append(reinterpret_cast<const char*>(bytes.data()), used + LZMA_STREAM_HEADER_SIZE);
  return Result();
}

}  // namespace xz
