// Runs a fuzz target without libFuzzer, so that a gcc build and the normal test suite exercise it too:
// every file of the corpus directories (or files) named on the command line, then a bounded number of
// inputs made by mutating them with a fixed-seed generator, so that every run sees the same inputs.
//
//   <target> [-runs=N] [-seed=S] [-max_len=L] <corpus dir or file>...
//
// Other "-flag=value" arguments are accepted and ignored, as libFuzzer's own would be elsewhere. Each
// input sits in a heap block of exactly its size so that AddressSanitizer sees any read beyond it.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz/FuzzSupport.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Options {
  uint64_t runs = 20000;
  uint64_t seed = 1;
  size_t maxLength = 1200;
  std::vector<std::filesystem::path> inputs;
};

// splitmix64: small, fast and the same on every platform.
class Generator {
 public:
  explicit Generator(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  size_t Below(size_t bound) { return bound == 0 ? 0 : static_cast<size_t>(Next() % bound); }
  uint8_t Byte() { return static_cast<uint8_t>(Next()); }

 private:
  uint64_t state_;
};

bool ReadFlag(std::string_view arg, std::string_view name, uint64_t& value) {
  if (arg.substr(0, name.size()) != name) return false;
  value = std::strtoull(std::string(arg.substr(name.size())).c_str(), nullptr, 10);
  return true;
}

Options ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg(argv[i]);
    uint64_t value = 0;
    if (ReadFlag(arg, "-runs=", value)) {
      options.runs = value;
    } else if (ReadFlag(arg, "-seed=", value)) {
      options.seed = value;
    } else if (ReadFlag(arg, "-max_len=", value)) {
      options.maxLength = static_cast<size_t>(value);
    } else if (arg.empty() || arg[0] != '-') {
      options.inputs.emplace_back(arg);
    }
  }
  return options;
}

Bytes ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Files in name order so that the run does not depend on the directory's order.
std::vector<std::filesystem::path> CorpusFiles(const std::vector<std::filesystem::path>& inputs) {
  std::vector<std::filesystem::path> files;
  for (const auto& input : inputs) {
    if (std::filesystem::is_directory(input)) {
      std::vector<std::filesystem::path> inDirectory;
      for (const auto& entry : std::filesystem::directory_iterator(input)) {
        if (entry.is_regular_file()) inDirectory.push_back(entry.path());
      }
      std::sort(inDirectory.begin(), inDirectory.end());
      files.insert(files.end(), inDirectory.begin(), inDirectory.end());
    } else if (std::filesystem::is_regular_file(input)) {
      files.push_back(input);
    } else {
      std::fprintf(stderr, "no such corpus: %s\n", input.c_str());
      std::exit(2);
    }
  }
  return files;
}

void RunOne(const Bytes& input) {
  varnetik::fuzz::ExactBuffer copy(input.size());
  std::copy(input.begin(), input.end(), copy.data());
  LLVMFuzzerTestOneInput(copy.data(), copy.size());
}

const uint8_t kInteresting[] = {0x00, 0x01, 0x02, 0x05, 0x07, 0x08, 0x7F, 0x80, 0x81, 0xFE, 0xFF, 0x03,
                                0x04, 0x06, 0x10, 0x83, 0x86, 0x90, ',',  ' ',  '$',  '%',  '-',  'x'};
const uint16_t kInteresting16[] = {0,   1,   2,   5,   125, 126,    250,    255,
                                   256, 512, 513, 514, 515, 0x7FFF, 0x8000, 0xFFFF};

void Mutate(Bytes& bytes, const std::vector<Bytes>& corpus, Generator& random, size_t maxLength) {
  const size_t steps = 1 + random.Below(4);
  for (size_t step = 0; step < steps; ++step) {
    const size_t at = random.Below(bytes.size() + 1);
    switch (random.Below(10)) {
      case 0:  // flip one bit
        if (!bytes.empty()) bytes[at % bytes.size()] ^= static_cast<uint8_t>(1u << random.Below(8));
        break;
      case 1:  // a random byte
        if (!bytes.empty()) bytes[at % bytes.size()] = random.Byte();
        break;
      case 2:  // a byte that protocol checks and parsers care about
        if (!bytes.empty()) bytes[at % bytes.size()] = kInteresting[random.Below(sizeof kInteresting)];
        break;
      case 3:  // insert a few random bytes
        for (size_t n = 1 + random.Below(4); n > 0; --n)
          bytes.insert(bytes.begin() + static_cast<ptrdiff_t>(at), random.Byte());
        break;
      case 4: {  // erase a range
        const size_t count = std::min(bytes.size() - at, 1 + random.Below(8));
        bytes.erase(bytes.begin() + static_cast<ptrdiff_t>(at),
                    bytes.begin() + static_cast<ptrdiff_t>(at + count));
        break;
      }
      case 5:  // cut the end off
        bytes.resize(at);
        break;
      case 6: {  // splice in a piece of another corpus entry
        if (corpus.empty()) break;
        const Bytes& other = corpus[random.Below(corpus.size())];
        const size_t from = random.Below(other.size() + 1);
        const size_t count = random.Below(other.size() - from + 1);
        bytes.insert(bytes.begin() + static_cast<ptrdiff_t>(at), other.begin() + static_cast<ptrdiff_t>(from),
                     other.begin() + static_cast<ptrdiff_t>(from + count));
        break;
      }
      case 7:  // a small step up or down, as lengths and counts off by a few are
        if (!bytes.empty()) bytes[at % bytes.size()] += static_cast<uint8_t>(random.Below(9) - 4);
        break;
      case 8:  // a 16-bit field set to an edge value
        if (bytes.size() >= 2) {
          const uint16_t value = kInteresting16[random.Below(std::size(kInteresting16))];
          const size_t where = at % (bytes.size() - 1);
          bytes[where] = static_cast<uint8_t>(value >> 8);
          bytes[where + 1] = static_cast<uint8_t>(value);
        }
        break;
      default:  // duplicate a range, as repeated or late frames do
        if (!bytes.empty()) {
          const size_t from = random.Below(bytes.size());
          const size_t count = 1 + random.Below(bytes.size() - from);
          const Bytes piece(bytes.begin() + static_cast<ptrdiff_t>(from),
                            bytes.begin() + static_cast<ptrdiff_t>(from + count));
          bytes.insert(bytes.begin() + static_cast<ptrdiff_t>(at), piece.begin(), piece.end());
        }
        break;
    }
  }
  if (bytes.size() > maxLength) bytes.resize(maxLength);
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = ParseOptions(argc, argv);
  std::vector<Bytes> corpus;
  for (const auto& file : CorpusFiles(options.inputs)) {
    corpus.push_back(ReadFile(file));
    RunOne(corpus.back());
  }

  // Recent inputs are mutated further now and then, so that faults needing several changes are reached.
  Generator random(options.seed);
  std::vector<Bytes> recent(64);
  for (uint64_t run = 0; run < options.runs; ++run) {
    Bytes input;
    const size_t origin = random.Below(16);
    if (origin == 0 || corpus.empty()) {  // something made from nothing
      input.resize(random.Below(64));
      for (auto& byte : input) byte = random.Byte();
    } else if (origin < 6) {
      input = recent[random.Below(recent.size())];
    } else {
      input = corpus[random.Below(corpus.size())];
    }
    Mutate(input, corpus, random, options.maxLength);
    RunOne(input);
    recent[run % recent.size()] = std::move(input);
  }
  std::printf("%zu corpus inputs and %llu generated inputs passed\n", corpus.size(),
              static_cast<unsigned long long>(options.runs));
  return 0;
}
