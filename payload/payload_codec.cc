#include "payload/payload_codec.h"

#include <cstring>
#include <vector>

#include "bzip2/bzip2_reader.h"
#include "payload/payload_format.h"
#include "platform/platform.h"
#include "xz/xz_reader.h"

namespace payload {

namespace {

const unsigned char kBzip2Magic[] = {'B', 'Z', 'h'};
const unsigned char kXzMagic[] = {0xFD, '7', 'z', 'X', 'Z', 0x00};

bool StartsWith(const unsigned char* head, size_t size, const unsigned char* magic, size_t magicSize) {
  return size >= magicSize && memcmp(head, magic, magicSize) == 0;
}

// The bzip2 reader delivers the stream in order: one run.
Result DecodeBzip2(util::ByteSource* source, const DecodeSettings& settings, DecodedOutput* output) {
  Bzip2ReaderOptions options;
  options.workers = settings.workers;
  options.spares = settings.spares;
  Bzip2Reader reader;
  if (!reader.Open(source, options)) return reader.result();
  Result result = output->Plan(std::vector<uint64_t>(1, 0), DecodedOutput::kUnknownSize);
  char buffer[CHUNK_SIZE];
  while (result.ok()) {
    const int n = reader.Read(buffer, CHUNK_SIZE);
    if (n < 0) return reader.result();
    if (n == 0) break;
    result = output->Write(0, buffer, static_cast<size_t>(n));
  }
  return result.ok() ? output->Finish() : result;
}

}  // namespace

Result IdentifyCodec(util::ByteSource* source, Codec* codec) {
  *codec = Codec::kNone;
  if (source->length() == 0) return Result();
  unsigned char head[sizeof(kXzMagic)];
  const size_t size = source->PieceOf(sizeof(head));
  if (!source->Seek(0) || source->Read(head, size) != static_cast<int64_t>(size)) {
    return Result::Fail(Outcome::kUnreadable, "the compressed data cannot be read");
  }
  if (StartsWith(head, size, kBzip2Magic, sizeof(kBzip2Magic))) {
    *codec = Codec::kBzip2;
  } else if (StartsWith(head, size, kXzMagic, sizeof(kXzMagic))) {
    *codec = Codec::kXz;
  } else {
    return Result::Fail(Outcome::kBadInput, "the compressed data is neither bzip2 nor xz");
  }
  return source->Seek(0) ? Result() : Result::Fail(Outcome::kUnreadable, "the compressed data cannot be read");
}

uint64_t DecodeMemoryLimitFor(uint64_t physicalMemory, uint64_t addressSpaceLeft) {
  uint64_t limit = kMostDecodeMemory;
  for (uint64_t figure : {physicalMemory, addressSpaceLeft}) {
    if (figure != 0 && figure / 2 < limit) limit = figure / 2;
  }
  return limit;
}

uint64_t DecodeMemoryLimit() { return DecodeMemoryLimitFor(platform::PhysicalMemory(), platform::AddressSpaceLeft()); }

Result DecodePayloadData(util::ByteSource* source, const DecodeSettings& settings, DecodedOutput* output) {
  Codec codec;
  Result result = IdentifyCodec(source, &codec);
  if (!result.ok()) return result;
  switch (codec) {
    case Codec::kBzip2:
      return DecodeBzip2(source, settings, output);
    case Codec::kXz: {
      xz::XzDecodeOptions options;
      options.workers = settings.workers;
      options.memoryLimit = settings.memoryLimit != 0 ? settings.memoryLimit : DecodeMemoryLimit();
      return xz::DecodeXz(source, options, output);
    }
    case Codec::kNone:
      break;
  }
  result = output->Plan(std::vector<uint64_t>(1, 0), 0);
  return result.ok() ? output->Finish() : result;
}

}  // namespace payload
