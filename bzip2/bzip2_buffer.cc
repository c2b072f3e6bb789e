#include "bzip2_buffer.h"

#include "bzip2_writer.h"

std::string Bzip2CompressBuffer(const std::string& data, int level) {
  std::string out;
  Bzip2Writer writer(level, 1, [&out](const char* bytes, size_t size) {
    out.append(bytes, size);
    return true;
  });
  writer.Write(data.data(), data.size());
  writer.Finish();
  return out;
}
