// Cuts the compressed range into block tasks: reads it piece by piece, finds
// the magic candidates (MagicScanner, plus any extra positions given for
// tests) and ends a task at each one. Keeps only the bytes of the task still
// growing; a task that grows past kMaxTaskBytes is marked oversize and its
// bytes are dropped (the sequential decoder will read them again).
#ifndef LM_BZIP2_TASK_CUTTER_H_
#define LM_BZIP2_TASK_CUTTER_H_

#include <cstdint>
#include <memory>
#include <vector>

#include "bzip2/block_task.h"

namespace util {
class ByteSource;
}  // namespace util

namespace bzip2 {

// The largest task kept in memory. libbz2 writes no block of more than about
// a megabyte; anything larger is left to the sequential decoder.
const uint64_t kMaxTaskBytes = 2 << 20;

class TaskCutter {
 public:
  // `file` (not owned) is positioned at the start of the range.
  TaskCutter(util::ByteSource* file, std::vector<uint64_t> extraCandidates);

  // Reads the first piece. False unless the range starts with a stream
  // header and a block magic; otherwise *level is the header's level and
  // the first task starts right after the header.
  bool Start(int* level);
  // Reads the next piece and appends the tasks it completes, in order. At
  // the end of the range (or on a read error) the last task is completed.
  void ReadMore(std::vector<std::shared_ptr<BlockTask>>* tasks);
  // Frees the kept bytes; nothing may be read after.
  void Release();

  bool ended() const { return ended_; }
  bool ioError() const { return ioError_; }
  // Candidates so far that hold the block magic (the first block counts),
  // and whether one held the end-of-stream magic.
  int blockCandidates() const { return blockCandidates_; }
  bool endCandidate() const { return endCandidate_; }
  bool openOversize() const { return openOversize_; }

 private:
  using Tasks = std::vector<std::shared_ptr<BlockTask>>;

  void Trim();
  void Scan(bool final, Tasks* tasks);
  void AddExtra(uint64_t limitBit, std::vector<uint64_t>* candidates);
  void OnCandidate(uint64_t bit, Tasks* tasks);
  void Close(uint64_t end, bool last, Tasks* tasks);
  void Classify(BlockTask* task) const;
  void CaptureHead(uint64_t start, uint8_t head[10], int* bits) const;
  uint64_t WindowEndBit() const { return (windowStart_ + window_.size()) * 8; }

  util::ByteSource* file_;
  std::vector<uint64_t> extra_;
  size_t extraAt_ = 0;
  uint64_t endBit_;
  std::vector<uint8_t> window_;
  uint64_t windowStart_ = 0;  // byte of the range at window_[0]
  uint64_t scanByte_ = 0;     // next byte where a candidate may start
  uint64_t openStart_ = 0;    // the task still growing
  bool openOversize_ = false;
  uint8_t openHead_[10] = {};
  int openHeadBits_ = 0;
  int blockCandidates_ = 0;
  bool endCandidate_ = false;
  bool ended_ = false;
  bool ioError_ = false;
};

}  // namespace bzip2

#endif  // LM_BZIP2_TASK_CUTTER_H_
