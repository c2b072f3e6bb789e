// ReadWholeFile: a file's bytes in one string, for small files such as a
// program's own data files and the tests' fixtures.
#ifndef LM_FILE_READ_WHOLE_FILE_H_
#define LM_FILE_READ_WHOLE_FILE_H_

#include <string>

// Every byte of the file at `path` (a '\'-separated path, as
// platform::OpenFile takes it). Empty, with `*ok` (when given) false, when
// the file cannot be opened or read to its end; a directory never opens.
std::string ReadWholeFile(const std::string& path, bool* ok = nullptr);

#endif  // LM_FILE_READ_WHOLE_FILE_H_
