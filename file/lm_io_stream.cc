#include "lm_io_stream.h"

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

bool LmIOStream::ReadExactly(uint8_t* bytes, int size) { return Read(bytes, size) == size; }

uint64_t LmIOStream::ReadLittleEndian(int size, bool* ok) {
  uint8_t bytes[8] = {0};
  *ok = ReadExactly(bytes, size);
  if (!*ok) return 0;
  uint64_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = (value << 8) | bytes[i];
  return value;
}

int LmIOStream::WriteLittleEndian(uint64_t value, int size) {
  uint8_t bytes[8];
  for (int i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
  return Write(bytes, size) == size ? 1 : 0;
}

char LmIOStream::ReadChar() {
  bool ok;
  return static_cast<char>(ReadLittleEndian(1, &ok));
}

int LmIOStream::WriteChar(char value) { return WriteLittleEndian(static_cast<uint8_t>(value), 1); }

int LmIOStream::ReadInt() {
  bool ok;
  return static_cast<int>(static_cast<uint32_t>(ReadLittleEndian(4, &ok)));
}

int LmIOStream::WriteInt(int value) { return WriteLittleEndian(static_cast<uint32_t>(value), 4); }

int32_t LmIOStream::ReadLong() {
  bool ok;
  return static_cast<int32_t>(static_cast<uint32_t>(ReadLittleEndian(4, &ok)));
}

int LmIOStream::WriteLong(int32_t value) { return WriteLittleEndian(static_cast<uint32_t>(value), 4); }

int16_t LmIOStream::ReadShort() {
  bool ok;
  return static_cast<int16_t>(static_cast<uint16_t>(ReadLittleEndian(2, &ok)));
}

int LmIOStream::WriteShort(int16_t value) { return WriteLittleEndian(static_cast<uint16_t>(value), 2); }

double LmIOStream::ReadDouble() {
  bool ok;
  uint64_t bits = ReadLittleEndian(8, &ok);
  double value = 0.0;
  if (ok) memcpy(&value, &bits, sizeof(value));
  return value;
}

int LmIOStream::WriteDouble(double value) {
  uint64_t bits;
  memcpy(&bits, &value, sizeof(bits));
  return WriteLittleEndian(bits, 8);
}

float LmIOStream::ReadFloat() {
  bool ok;
  uint32_t bits = static_cast<uint32_t>(ReadLittleEndian(4, &ok));
  float value = 0.0f;
  if (ok) memcpy(&value, &bits, sizeof(value));
  return value;
}

int LmIOStream::WriteFloat(float value) {
  uint32_t bits;
  memcpy(&bits, &value, sizeof(bits));
  return WriteLittleEndian(bits, 4);
}

uint32_t LmIOStream::ReadUInt() {
  bool ok;
  return static_cast<uint32_t>(ReadLittleEndian(4, &ok));
}

int LmIOStream::WriteUInt(uint32_t value) { return WriteLittleEndian(value, 4); }

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
