// TableOutput: a payload's decoded stream written into its entries under
// the working directory, for decoders that deliver the stream in one run
// (bzip2) or in a run per block on several threads (xz).
//
// Plan creates every directory entry in table order (the table puts each
// directory before its contents), and every empty file and every file that
// a run begins inside, so that two runs that share a file never truncate
// each other's bytes. Each run then creates the files it begins and writes
// them in pieces of at most CHUNK_SIZE bytes, opening a shared file again
// at its own offset. Files get exactly their sizes: bytes beyond a run or
// the table, and a run or stream that ends short, are corrupt data. Finish
// marks executables where the system needs it (platform::MarkIfExecutable).
//
// Plan takes time in proportion to the runs and the entries; a run holds a
// file open only while it is being written.
//
// Write may be called from several threads for different runs; Plan and
// Finish on the decoding's own thread. What was created stays for the
// caller to remove on any failure.
#ifndef LM_PAYLOAD_TABLE_OUTPUT_H_
#define LM_PAYLOAD_TABLE_OUTPUT_H_

#include <cstdint>
#include <memory>
#include <vector>

#include "core/lm_string.h"
#include "payload/payload_reader.h"
#include "platform/contained_tree.h"
#include "util/decoded_output.h"

class TableOutput : public DecodedOutput {
 public:
  // The entries are made inside `workingDirectory`, which must exist,
  // following no link below it (platform::ContainedTree): each is created
  // new, and an entry whose name exists in any form is a write fault.
  // `table` is not copied: it outlives the output.
  TableOutput(const LmString& workingDirectory, const PayloadTable& table);
  ~TableOutput() override;

  // kCorruptData when `total` is known and is not the table's, or the runs
  // are not ascending from 0 within it; kWriteFault when an entry cannot
  // be created.
  Result Plan(const std::vector<uint64_t>& runStarts, uint64_t total) override;
  // kCorruptData for bytes beyond the run; kWriteFault or kDiskFull when a
  // file cannot be created or written.
  Result Write(size_t run, const char* data, size_t size) override;
  // kCorruptData when a run holds fewer bytes than its files take.
  Result Finish() override;

 private:
  struct File;
  struct Run;
  Result OpenAt(Run* run);

  platform::ContainedTree tree_;
  const PayloadTable& table_;
  std::vector<File> files_;  // the file entries, in table order
  std::unique_ptr<Run[]> runs_;
  size_t runCount_ = 0;
};

#endif  // LM_PAYLOAD_TABLE_OUTPUT_H_
