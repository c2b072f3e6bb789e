#include "tests/bzip2/bzip2_test_corpus.h"

#include <cstdint>

namespace bzip2test {

namespace {

// A small deterministic generator (the same on every platform).
class Random {
 public:
  explicit Random(unsigned seed) : state_(seed * 2654435761u + 12345u) {}
  uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  uint32_t Below(uint32_t n) { return Next() % n; }

 private:
  uint32_t state_;
};

const char* const kWords[] = {"the",     "setup",     "launcher", "unpacks",  "files",     "into",    "a",  "fresh",
                              "working", "directory", "and",      "starts",   "installer", "payload", "of", "bzip2",
                              "stream",  "block",     "with",     "checksum", "table",     "entry"};

// `size` bytes made by calling add(random, &out) until there are enough.
template <typename Add>
std::string Generate(size_t size, unsigned seed, Add add) {
  Random random(seed);
  std::string out;
  while (out.size() < size) add(random, &out);
  out.resize(size);
  return out;
}

}  // namespace

std::string NoRepeats(size_t size, unsigned seed) {
  Random random(seed);
  std::string out;
  out.reserve(size);
  char previous = 0;
  while (out.size() < size) {
    char c = static_cast<char>(random.Next() & 0xFF);
    if (!out.empty() && c == previous) continue;
    out.push_back(c);
    previous = c;
  }
  return out;
}

std::string Text(size_t size, unsigned seed) {
  return Generate(size, seed, [](Random& random, std::string* out) {
    *out += kWords[random.Below(sizeof(kWords) / sizeof(kWords[0]))];
    *out += random.Below(12) == 0 ? ".\n" : " ";
  });
}

std::string Runs(size_t size, unsigned seed) {
  static const size_t kLengths[] = {1, 2, 3, 4, 5, 6, 254, 255, 256, 257, 259, 260, 600};
  return Generate(size, seed, [](Random& random, std::string* out) {
    size_t length = random.Below(3) == 0 ? 1 + random.Below(600) : kLengths[random.Below(13)];
    out->append(length, static_cast<char>(random.Below(4)));
  });
}

std::string Mixed(size_t size, unsigned seed) {
  return Generate(size, seed, [](Random& random, std::string* out) {
    size_t piece = 1000 + random.Below(60000);
    switch (random.Below(4)) {
      case 0:
        *out += NoRepeats(piece, random.Next());
        break;
      case 1:
        *out += Text(piece, random.Next());
        break;
      case 2:
        *out += Runs(piece, random.Next());
        break;
      default:
        out->append(piece * 4, static_cast<char>(random.Below(256)));
        break;
    }
  });
}

std::string Repetitive(size_t size, unsigned seed) {
  return Generate(size, seed, [](Random& random, std::string* out) {
    *out += "repetitive data, ";
    if (random.Below(64) == 0) out->push_back(static_cast<char>('a' + random.Below(26)));
  });
}

std::string RunAtBlockEnd(int level, int offset, size_t run, unsigned seed) {
  long fill = 100000L * level - 19 - offset;
  std::string out = NoRepeats(static_cast<size_t>(fill), seed);
  std::string after = NoRepeats(30000, seed + 1);
  // A run byte unlike its neighbours, so the run is exactly `run` long.
  char c = 0;
  while (c == out.back() || c == after.front()) ++c;
  out.append(run, c);
  return out + after;
}

std::vector<Sample> Corpus(int level) {
  size_t block = static_cast<size_t>(level) * 100000;
  size_t several = block * 2 + block / 2;
  return {
      {"empty", std::string()},
      {"one byte", std::string(1, 'x')},
      {"one block of text", Text(block / 3, 1u + level)},
      {"random", NoRepeats(several, 2u + level)},
      {"text", Text(several, 3u + level)},
      {"runs", Runs(several, 4u + level)},
      {"mixed", Mixed(several, 5u + level)},
      // Blocks that decode to megabytes: two of them at levels 1 and 2.
      {"long run", std::string(block * (level <= 2 ? 60 : 10) + 77, 'a') + Text(1000, 6u)},
  };
}

}  // namespace bzip2test
