#include "tests/support/test_support.h"

#include <lzma.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "bzip2/bzip2_buffer.h"
#include "platform/platform.h"
#include "platform/testing/port_testing.h"

namespace lmtest {

void ExpectWaitsUntilReleased(const std::function<void()>& take, const std::function<void()>& release, int waitMs) {
  std::atomic<bool> took{false};
  platform::Thread waiter;
  ASSERT_TRUE(waiter.Start([&] {
    take();
    took = true;
  }));
  platform::SleepMs(waitMs);
  EXPECT_FALSE(took);
  release();
  waiter.Join();
  EXPECT_TRUE(took);
}

bool PathExists(const std::string& path) {
  return platform::GetEntryInfo(path.c_str()).type != platform::EntryType::kMissing;
}

bool IsDirectoryPath(const std::string& path) {
  return platform::GetEntryInfo(path.c_str()).type == platform::EntryType::kDirectory;
}

std::vector<std::string> ListNames(const std::string& directory) {
  std::vector<std::string> names;
  platform::ForEachEntry(directory.c_str(), [&names](const char* name) { names.emplace_back(name); });
  std::sort(names.begin(), names.end());
  return names;
}

bool MakeDirectory(const std::string& path) { return platform::MakeDirectory(path.c_str()) == 0; }

std::string RandomBytes(size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  uint32_t state = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; ++i) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    bytes[i] = static_cast<char>(state >> 24);
  }
  return bytes;
}

}  // namespace lmtest

namespace lmtest {

bool OnWindows() { return platform::ThisSystem() == platform::System::kWindows; }

std::string LauncherTarget() {
  if (!OnWindows()) return "native";
  return sizeof(void*) == 8 ? "windows-x64" : "windows";
}

std::string HostPath(const std::string& path) {
  if (!OnWindows() || path.empty() || path[0] != '/') return path;
  std::string converted = "Z:" + path;
  for (char& c : converted) {
    if (c == '/') c = '\\';
  }
  return converted;
}

std::string BuildPath(const char* variable) {
  const char* value = getenv(variable);
  if (value == nullptr || *value == '\0') throw std::runtime_error(std::string("the build did not set ") + variable);
  return HostPath(value);
}

int RunProgram(const std::string& program, const std::vector<std::string>& arguments,
               const std::string& currentDirectory, uint32_t timeoutMs) {
  return port_testing::RunProgram(program, arguments, currentDirectory, timeoutMs);
}

std::string Compress(const std::string& data, int level) { return Bzip2CompressBuffer(data, level); }

PayloadBytes& PayloadBytes::Int(uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<char>(value >> (8 * i)));
  return *this;
}

PayloadBytes& PayloadBytes::Text(const std::string& text) {
  bytes_ += text;
  bytes_.push_back('\0');
  return *this;
}

PayloadBytes& PayloadBytes::Raw(const std::string& bytes) {
  bytes_ += bytes;
  return *this;
}

std::string BuildSetup(const std::string& stub, const std::string& launchName, const std::vector<TestEntry>& entries,
                       const XzShape* xz) {
  PayloadBytes payload;
  payload.Text(launchName).Int(static_cast<uint32_t>(entries.size()));
  std::string data;
  for (const TestEntry& e : entries) {
    payload.Text(e.path).Int(e.kind).Int(static_cast<uint32_t>(e.size >= 0 ? e.size : e.contents.size()));
    data += e.contents;
  }
  std::string compressed = xz != nullptr ? CompressXz(data, *xz) : Compress(data);
  payload.Int(static_cast<uint32_t>(compressed.size())).Raw(compressed).Int(static_cast<uint32_t>(stub.size()));
  return stub + payload.bytes();
}

namespace {

std::string Bytes(const uint8_t* data, size_t size) { return std::string(reinterpret_cast<const char*>(data), size); }

// The block's header again, its sizes left out, so that its first filter's
// ID is its third byte; its size and CRC-32 kept right.
void RewriteHeader(lzma_block block, XzShape::Damage damage, std::string* encoded) {
  if (damage == XzShape::kFilter) block.compressed_size = block.uncompressed_size = LZMA_VLI_UNKNOWN;
  if (damage == XzShape::kHeader) ++block.uncompressed_size;
  lzma_options_lzma* lzma =
      static_cast<lzma_options_lzma*>(block.filters[block.filters[0].id == LZMA_FILTER_X86].options);
  if (damage == XzShape::kDictionary) lzma->dict_size = 1536u << 20;
  uint8_t header[LZMA_BLOCK_HEADER_SIZE_MAX];
  if (lzma_block_header_encode(&block, header) != LZMA_OK) throw std::runtime_error("cannot encode a block header");
  if (damage == XzShape::kFilter) {
    header[2] = 0x07;  // LZMA_FILTER_ARM
    const uint32_t crc = lzma_crc32(header, block.header_size - 4, 0);
    for (int i = 0; i < 4; ++i) header[block.header_size - 4 + i] = static_cast<uint8_t>(crc >> (8 * i));
  }
  encoded->replace(0, block.header_size, Bytes(header, block.header_size));
}

}  // namespace

std::string CompressXz(const std::string& data, const XzShape& shape) {
  lzma_stream_flags flags{};
  flags.check = shape.crc32 ? LZMA_CHECK_CRC32 : LZMA_CHECK_CRC64;
  lzma_stream_flags named = flags;
  if (shape.damage == XzShape::kCheck) named.check = LZMA_CHECK_SHA256;
  uint8_t frame[LZMA_STREAM_HEADER_SIZE];
  if (lzma_stream_header_encode(&named, frame) != LZMA_OK) throw std::runtime_error("cannot encode the header");
  std::string out = Bytes(frame, sizeof(frame));
  lzma_index* index = lzma_index_init(nullptr);
  std::vector<std::pair<lzma_vli, lzma_vli>> records;  // unpadded, uncompressed
  if (shape.emptyBlocks > 0) {
    lzma_options_lzma lzma;
    lzma_lzma_preset(&lzma, 0);
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA2, &lzma}, {LZMA_VLI_UNKNOWN, nullptr}};
    lzma_block block{};
    block.check = flags.check;
    block.filters = filters;
    uint8_t encoded[64];
    size_t used = 0;
    if (lzma_block_buffer_encode(&block, nullptr, nullptr, 0, encoded, &used, sizeof(encoded)) != LZMA_OK) {
      throw std::runtime_error("liblzma cannot encode an empty block");
    }
    for (size_t i = 0; i < shape.emptyBlocks; ++i) out += Bytes(encoded, used);
    records.assign(shape.emptyBlocks, {lzma_block_unpadded_size(&block), 0});
  }
  const size_t step = shape.blockBytes == 0 ? data.size() : shape.blockBytes;
  for (size_t at = 0; at < data.size(); at += step) {
    const size_t size = data.size() - at < step ? data.size() - at : step;
    lzma_options_lzma lzma;
    lzma_lzma_preset(&lzma, 6);
    lzma.dict_size = 1 << 20;
    lzma_filter filters[3] = {{LZMA_FILTER_X86, nullptr}, {LZMA_FILTER_LZMA2, &lzma}, {LZMA_VLI_UNKNOWN, nullptr}};
    lzma_block block{};
    block.check = flags.check;
    block.filters = shape.x86 ? filters : filters + 1;
    std::vector<uint8_t> encoded(lzma_block_buffer_bound(size));
    size_t used = 0;
    if (lzma_block_buffer_encode(&block, nullptr, reinterpret_cast<const uint8_t*>(data.data() + at), size,
                                 encoded.data(), &used, encoded.size()) != LZMA_OK) {
      throw std::runtime_error("liblzma cannot encode the block");
    }
    std::string bytes = Bytes(encoded.data(), used);
    if (at == step && shape.damage != XzShape::kNone) RewriteHeader(block, shape.damage, &bytes);
    out += bytes;
    records.push_back({lzma_block_unpadded_size(&block), size});
  }
  if (shape.damage == XzShape::kIndex && records.size() > 1) std::swap(records[0], records[1]);
  bool ok = true;
  for (const auto& record : records)
    ok = ok && lzma_index_append(index, nullptr, record.first, record.second) == LZMA_OK;
  std::vector<uint8_t> tail(lzma_index_size(index) + LZMA_STREAM_HEADER_SIZE);
  size_t used = 0;
  ok = ok && lzma_index_buffer_encode(index, tail.data(), &used, tail.size()) == LZMA_OK;
  named.backward_size = lzma_index_size(index);
  ok = ok && lzma_stream_footer_encode(&named, tail.data() + used) == LZMA_OK;
  lzma_index_end(index, nullptr);
  if (!ok) throw std::runtime_error("cannot encode the index");
  return out + Bytes(tail.data(), tail.size());
}

}  // namespace lmtest
