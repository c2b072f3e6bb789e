#include "file/lm_io_stream.h"

#include <cstring>

LmIOStream::LmIOStream() : LmObject(), mode(3) {}

LmIOStream::~LmIOStream() {}

void LmIOStream::SetMode(int newMode) { mode = newMode; }
int LmIOStream::GetAvailable() { return -1; }
int LmIOStream::Open() { return 0; }
int LmIOStream::Close() { return 0; }
int LmIOStream::Read(void*, int) { return -1; }
int LmIOStream::Write(const void*, int) { return -1; }
int LmIOStream::Seek(int, int) { return 0; }
int LmIOStream::Tell() { return 0; }
int LmIOStream::Flush() { return 0; }
LmIOStream* LmIOStream::Clone() { return nullptr; }

uint64_t LmIOStream::ReadLittleEndian(int size) {
  uint8_t bytes[8] = {0};
  if (Read(bytes, size) != size) return 0;
  uint64_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = (value << 8) | bytes[i];
  return value;
}

int LmIOStream::WriteLittleEndian(uint64_t value, int size) {
  uint8_t bytes[8];
  for (int i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
  return Write(bytes, size) == size ? 1 : 0;
}

namespace {

// The unsigned integer of a typed value's size, which carries its bits.
template <size_t kSize>
struct BitsOfSize;
template <>
struct BitsOfSize<1> {
  using Type = uint8_t;
};
template <>
struct BitsOfSize<2> {
  using Type = uint16_t;
};
template <>
struct BitsOfSize<4> {
  using Type = uint32_t;
};
template <>
struct BitsOfSize<8> {
  using Type = uint64_t;
};

}  // namespace

template <typename T>
T LmIOStream::ReadValue() {
  auto bits = static_cast<typename BitsOfSize<sizeof(T)>::Type>(ReadLittleEndian(sizeof(T)));
  T value;
  memcpy(&value, &bits, sizeof(value));
  return value;
}

template <typename T>
int LmIOStream::WriteValue(T value) {
  typename BitsOfSize<sizeof(T)>::Type bits;
  memcpy(&bits, &value, sizeof(bits));
  return WriteLittleEndian(bits, sizeof(T));
}

char LmIOStream::ReadChar() { return ReadValue<char>(); }
int LmIOStream::WriteChar(char value) { return WriteValue(value); }
int LmIOStream::ReadInt() { return ReadValue<int>(); }
int LmIOStream::WriteInt(int value) { return WriteValue(value); }
int32_t LmIOStream::ReadLong() { return ReadValue<int32_t>(); }
int LmIOStream::WriteLong(int32_t value) { return WriteValue(value); }
int16_t LmIOStream::ReadShort() { return ReadValue<int16_t>(); }
int LmIOStream::WriteShort(int16_t value) { return WriteValue(value); }
double LmIOStream::ReadDouble() { return ReadValue<double>(); }
int LmIOStream::WriteDouble(double value) { return WriteValue(value); }
float LmIOStream::ReadFloat() { return ReadValue<float>(); }
int LmIOStream::WriteFloat(float value) { return WriteValue(value); }
uint32_t LmIOStream::ReadUInt() { return ReadValue<uint32_t>(); }
int LmIOStream::WriteUInt(uint32_t value) { return WriteValue(value); }

LmString LmIOStream::ReadString() {
  LmString text;
  for (;;) {
    char byte[2] = {0, 0};
    if (Read(byte, 1) != 1) return LmString();
    if (byte[0] == '\0') return text;
    text.Append(byte);
  }
}

int LmIOStream::WriteString(LmString text) {
  if (text.GetText() == nullptr) return Write("", 1) == 1 ? 1 : 0;
  int size = text.GetLength() + 1;
  return Write(text.GetText(), size) == size ? 1 : 0;
}
