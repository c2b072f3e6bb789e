// How the launcher's own work ends, shared with the packer's extract, which
// unpacks by the same rules.
#ifndef LM_LAUNCHER_LAUNCH_OUTCOME_H_
#define LM_LAUNCHER_LAUNCH_OUTCOME_H_

// What the launcher's own work came to. kUnpacked: every entry is on disk
// and the program may be started; every other value is a failure.
enum class LaunchOutcome {
  kUnpacked,
  kOwnFileUnreadable,  // its own executable cannot be opened
  kBadPayload,         // missing, damaged or unsafe payload
  kCannotMake,         // no temp directory; working directory or staging file not made
  kWriteFault,         // an unpacked file or the staging copy could not be written
  kDiskFull,           // ... because the disk is full
  kCorruptData,        // the compressed data does not decompress to the table
};

#endif  // LM_LAUNCHER_LAUNCH_OUTCOME_H_
