#include "payload/payload_description.h"

#include "payload/payload_codec.h"
#include "xz/xz_stream_info.h"

namespace payload {

namespace {

std::string Mebibytes(uint64_t bytes) {
  return bytes % (1 << 20) == 0 ? std::to_string(bytes >> 20) + " MiB" : std::to_string(bytes >> 10) + " KiB";
}

}  // namespace

Result DescribePayloadData(util::ByteSource* source, std::string* line) {
  Codec codec;
  Result result = IdentifyCodec(source, &codec);
  if (!result.ok()) return result;
  if (codec == Codec::kNone) {
    *line = "none (no compressed data)";
  } else if (codec == Codec::kBzip2) {
    char level = 0;
    if (source->Seek(3) && source->Read(&level, 1) == 1 && level >= '1' && level <= '9') {
      *line = std::string("bzip2, blocks of ") + level + "00k";
    } else {
      *line = "bzip2";
    }
  } else {
    xz::XzStreamIndex index;
    xz::XzStreamInfo info;
    result = xz::ReadXzLayout(source, &index, &info);
    if (!result.ok()) return result;
    *line = "xz, LZMA2, dictionary " + Mebibytes(info.dictionary) + ", " + std::to_string(info.blocks) +
            (info.blocks == 1 ? " block" : " blocks") + " (x86 filter in " + std::to_string(info.x86Blocks) + "), " +
            info.check + "; decoding needs " + Mebibytes(((info.workerMemory >> 20) + 1) << 20) + " per thread";
  }
  return Result();
}

}  // namespace payload
