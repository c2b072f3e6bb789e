// Generated inputs for the bzip2 tests: the kinds of data that exercise
// libbz2's block boundaries differently (random, text-like, runs of one
// byte, runs placed across the end of a block).
#ifndef LM_TESTS_BZIP2_BZIP2_TEST_CORPUS_H_
#define LM_TESTS_BZIP2_BZIP2_TEST_CORPUS_H_

#include <cstddef>
#include <string>
#include <vector>

namespace bzip2test {

// Random bytes of which no two neighbours are equal: each adds exactly one
// byte to libbz2's block.
std::string NoRepeats(size_t size, unsigned seed);
// Words and punctuation from a small vocabulary.
std::string Text(size_t size, unsigned seed);
// Runs of random bytes, of lengths 1..600 with 4, 5, 255 and 256 frequent.
std::string Runs(size_t size, unsigned seed);
// Pieces of the above and long runs of one byte, one after the other.
std::string Mixed(size_t size, unsigned seed);
// Data that compresses to a few hundred bytes per 100k block.
std::string Repetitive(size_t size, unsigned seed);
// Bytes that fill libbz2's block at `level` up to `offset` bytes before
// its limit, then a run of `run` equal bytes, then more bytes: the run
// meets the end of the block.
std::string RunAtBlockEnd(int level, int offset, size_t run, unsigned seed);

struct Sample {
  std::string name;
  std::string data;
};
// Empty, one-block and several-block samples for `level`.
std::vector<Sample> Corpus(int level);

}  // namespace bzip2test

#endif  // LM_TESTS_BZIP2_BZIP2_TEST_CORPUS_H_
