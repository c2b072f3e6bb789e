// Result: what an operation of the layers above the class library (bzip2,
// payload, launcher, tools) came to: success, or one kind of failure with a
// message for a person where there is one. The kinds are few on purpose:
// each is a different answer for the caller (another exit code, another
// remedy); the message tells the rest ("the compressed data ends early").
//
// The class library and the port keep their own conventions (1/0 with
// status codes; 0/-1 with errno); a Result is made where their calls are
// made. Exceptions (std::bad_alloc from the class library) are not turned
// into Results: they propagate to the process entries, which catch them.
#ifndef LM_UTIL_RESULT_H_
#define LM_UTIL_RESULT_H_

#include <string>
#include <utility>

enum class Outcome {
  kOk,
  kUnreadable,      // a file cannot be opened or read, or is shorter than it must be
  kBadInput,        // input that breaks the format's rules: a missing, damaged or unsafe payload, a folder or
                    // option that cannot be packed, a stub whose layout cannot be edited
  kCorruptData,     // compressed data that does not decode, or not to what the table promises
  kCannotMake,      // a directory or file could not be created
  kWriteFault,      // a write or the close after it failed
  kDiskFull,        // ... because the disk is full
  kNoMemory,        // memory (or another resource) ran out
  kMemoryLimit,     // data that would need more memory to decode than this machine allows; refused before it is used
  kUsage,           // a command line that cannot be carried out as it stands
  kCommandTooLong,  // the started program's command line would be longer than the system takes
  kBadArguments,    // the setup's own arguments cannot be passed on safely (to a batch file)
  kUntranslatable,  // the payload's text has no equivalent in this system's character set
};

class Result {
 public:
  // Success.
  Result() = default;
  // A failure of kind `outcome` (not kOk) with `message` (may be empty).
  static Result Fail(Outcome outcome, std::string message = std::string()) {
    Result result;
    result.outcome_ = outcome;
    result.message_ = std::move(message);
    return result;
  }

  bool ok() const { return outcome_ == Outcome::kOk; }
  Outcome outcome() const { return outcome_; }
  const std::string& message() const { return message_; }

  bool operator==(const Result& other) const { return outcome_ == other.outcome_ && message_ == other.message_; }
  bool operator!=(const Result& other) const { return !(*this == other); }

 private:
  Outcome outcome_ = Outcome::kOk;
  std::string message_;
};

#endif  // LM_UTIL_RESULT_H_
