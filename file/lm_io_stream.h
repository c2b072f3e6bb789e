// LmIOStream: the library's abstract byte stream.
//
// Ten basic operations (mode, open, close, block read and write, seek, tell,
// flush, bytes left, clone) do nothing useful here and are overridden by
// concrete streams. The typed reads and writes are implemented once, on top
// of the virtual Read and Write, for every stream: values travel as their
// little-endian bytes (IEEE 754 for float and double) with no padding or
// tags, texts as their bytes and one NUL.
//
// A typed read that gets fewer bytes than it asked for returns 0 (0.0, an
// empty string); the bytes it did get stay consumed. A typed write returns 1
// when the whole value was written, else 0. The typed operations keep no
// status of their own: the concrete stream's GetErrorCode tells what its last
// block transfer did. Not thread-safe; callers that share a stream hold its
// object lock around each sequence of calls.
#ifndef LM_FILE_LM_IO_STREAM_H_
#define LM_FILE_LM_IO_STREAM_H_

#include <cstdint>

#include "core/lm_object.h"
#include "core/lm_string.h"

class LmIOStream : public virtual LmObject {
 public:
  LmIOStream();
  ~LmIOStream() override;

  // Stores the open mode; its meaning belongs to the concrete stream.
  virtual void SetMode(int mode);
  // Bytes from the current position to the end; -1 when unknown.
  virtual int GetAvailable();
  virtual int Open();
  virtual int Close();
  // Bytes transferred (0 to size); -1 when the stream cannot transfer.
  virtual int Read(void* buffer, int size);
  virtual int Write(const void* buffer, int size);
  // origin 0 = start, 1 = current position, 2 = end. 1 on success.
  virtual int Seek(int offset, int origin);
  virtual int Tell();
  virtual int Flush();
  // A new, unopened stream of the same kind, name and mode with reference
  // count 1 (the caller releases it); null when the stream cannot be cloned.
  virtual LmIOStream* Clone();

  virtual char ReadChar();
  virtual int WriteChar(char value);
  virtual int ReadInt();
  virtual int WriteInt(int value);
  virtual int32_t ReadLong();
  virtual int WriteLong(int32_t value);
  virtual int16_t ReadShort();
  virtual int WriteShort(int16_t value);
  virtual double ReadDouble();
  virtual int WriteDouble(double value);
  virtual float ReadFloat();
  virtual int WriteFloat(float value);
  virtual uint32_t ReadUInt();
  virtual int WriteUInt(uint32_t value);
  // Reads byte by byte up to a NUL and returns the bytes before it. A read
  // that comes back short before the NUL gives an empty string (the bytes
  // already read stay consumed). No length limit: for untrusted data use a
  // bounded reader instead.
  virtual LmString ReadString();
  // The text and its NUL in one Write; a string without a buffer writes the
  // single NUL of an empty text.
  virtual int WriteString(LmString text);

 protected:
  int mode;

 private:
  // The unsigned value of `size` (1 to 8) little-endian bytes; 0 when the
  // read comes back short.
  uint64_t ReadLittleEndian(int size);
  int WriteLittleEndian(uint64_t value, int size);
  // A typed value as its sizeof(T) little-endian bytes, the bits of a
  // floating-point value as they are; a short read gives the value of all
  // zero bits.
  template <typename T>
  T ReadValue();
  template <typename T>
  int WriteValue(T value);
};

#endif  // LM_FILE_LM_IO_STREAM_H_
