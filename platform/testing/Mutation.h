// Seeded mutation of valid input samples, for the tests that feed every input
// format from outside the program with damaged copies of a good file: byte flips,
// truncations, extensions and changed length fields (binary formats) or numbers
// (text formats). The same seed gives the same mutants on every run.
//
//   OVRIX_MUTANTS=N        mutants per format (default: each test's own count)
//   OVRIX_MUTATION_SEED=S  seed (default: each test's own)
//
// GuardedBytes puts a mutant at the very end of a readable page with a no-access
// page behind it, so a parser that reads one byte past its input faults at once
// instead of reading a neighbour's memory unseen (mingw offers no address sanitizer).
#pragma once
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace platform::testing {

inline uint32_t EnvironmentNumber(const wchar_t* name, uint32_t fallback) {
  wchar_t text[32] = {};
  const DWORD n = GetEnvironmentVariableW(name, text, 32);
  if (n == 0 || n >= 32) return fallback;
  wchar_t* end = nullptr;
  const unsigned long value = wcstoul(text, &end, 0);
  return end != nullptr && *end == 0 ? static_cast<uint32_t>(value) : fallback;
}

inline int MutantCount(int fallback) {
  return static_cast<int>(EnvironmentNumber(L"OVRIX_MUTANTS", static_cast<uint32_t>(fallback)));
}

inline uint32_t MutationSeed(uint32_t fallback) { return EnvironmentNumber(L"OVRIX_MUTATION_SEED", fallback); }

// Binary formats: `lengthFields` are the offsets of the 32-bit little-endian
// counts and sizes in the sample (others are chosen at random 4-byte positions).
// Text formats: numbers in the text are replaced by boundary values instead.
class Mutator {
 public:
  enum class Kind { Binary, Text };

  Mutator(uint32_t seed, Kind kind, std::vector<size_t> lengthFields = {})
      : rng_(seed), kind_(kind), lengthFields_(std::move(lengthFields)) {}

  // One to four operations on a copy of `sample` (one or two on text, where
  // nearly every flipped byte already breaks its line).
  std::string Mutate(const std::string& sample) {
    std::string out = sample;
    const int steps = 1 + static_cast<int>(Below(kind_ == Kind::Text ? 2 : 4));
    for (int i = 0; i < steps; ++i) {
      const uint32_t pick = Below(10);
      if (pick < (kind_ == Kind::Text ? 3u : 4u))
        Flip(out);
      else if (pick < (kind_ == Kind::Text ? 4u : 5u))
        Truncate(out);
      else if (pick < 7)
        Extend(out);
      else
        ChangeLength(out);
    }
    return out;
  }

  uint32_t Below(uint32_t bound) { return bound == 0 ? 0 : std::uniform_int_distribution<uint32_t>(0, bound - 1)(rng_); }

 private:
  void Flip(std::string& s) {
    if (s.empty()) return;
    const size_t pos = Below(static_cast<uint32_t>(s.size()));
    if (Below(2) == 0)
      s[pos] = static_cast<char>(s[pos] ^ (1 << Below(8)));
    else
      s[pos] = static_cast<char>(Below(256));
  }

  void Truncate(std::string& s) {
    if (s.empty()) return;
    // Mostly near the end (a file cut short), sometimes anywhere.
    const size_t keep = Below(3) == 0 ? Below(static_cast<uint32_t>(s.size()))
                                      : s.size() - 1 - Below(static_cast<uint32_t>(std::min<size_t>(s.size(), 64)));
    s.resize(keep);
  }

  void Extend(std::string& s) {
    const size_t pos = s.empty() ? 0 : Below(static_cast<uint32_t>(s.size() + 1));
    if (Below(2) == 0 || s.empty()) {
      std::string junk(1 + Below(64), '\0');
      for (char& c : junk) c = static_cast<char>(Below(256));
      s.insert(pos, junk);
    } else {
      // A repeated slice: an extra record, line or element.
      const size_t from = Below(static_cast<uint32_t>(s.size()));
      const size_t len = 1 + Below(static_cast<uint32_t>(std::min<size_t>(s.size() - from, 512)));
      s.insert(pos, s.substr(from, len));
    }
  }

  void ChangeLength(std::string& s) {
    if (kind_ == Kind::Text) {
      ChangeNumber(s);
      return;
    }
    if (s.size() < 4) return Flip(s);
    size_t pos = 0;
    if (!lengthFields_.empty() && Below(4) != 0) {
      pos = lengthFields_[Below(static_cast<uint32_t>(lengthFields_.size()))];
      if (pos + 4 > s.size()) return Flip(s);
    } else {
      pos = Below(static_cast<uint32_t>(s.size() - 3)) & ~size_t{3};
    }
    const uint32_t old = static_cast<uint8_t>(s[pos]) | static_cast<uint8_t>(s[pos + 1]) << 8 |
                         static_cast<uint8_t>(s[pos + 2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(s[pos + 3])) << 24;
    static const uint32_t kValues[] = {0, 1, 2, 3, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFFFE, 0x10000, 0xFFFF};
    uint32_t value = 0;
    switch (Below(4)) {
      case 0: value = old + 1; break;
      case 1: value = old - 1; break;
      case 2: value = old + 1 + Below(1000); break;
      default: value = kValues[Below(std::size(kValues))]; break;
    }
    for (int i = 0; i < 4; ++i) s[pos + i] = static_cast<char>(value >> (8 * i));
  }

  void ChangeNumber(std::string& s) {
    std::vector<std::pair<size_t, size_t>> numbers;  // (start, length) of digit runs
    for (size_t i = 0; i < s.size();) {
      if (s[i] >= '0' && s[i] <= '9') {
        size_t j = i;
        while (j < s.size() && s[j] >= '0' && s[j] <= '9') ++j;
        numbers.push_back({i, j - i});
        i = j;
      } else {
        ++i;
      }
    }
    if (numbers.empty()) return Flip(s);
    const auto [start, len] = numbers[Below(static_cast<uint32_t>(numbers.size()))];
    static const char* const kValues[] = {"0", "-1", "1", "65535", "65536", "2147483647", "2147483648",
                                          "4294967295", "4294967296", "-2147483649", "99999999999999999999",
                                          "1048576", "1048577", "1024", "1025", "00000000000000000000001"};
    std::string value = kValues[Below(std::size(kValues))];
    if (Below(4) == 0) value = std::to_string(std::stoull(s.substr(start, std::min<size_t>(len, 18))) + 1);
    s.replace(start, len, value);
  }

  std::mt19937 rng_;
  Kind kind_;
  std::vector<size_t> lengthFields_;
};

// A copy of `bytes` that ends where a no-access page begins.
class GuardedBytes {
 public:
  explicit GuardedBytes(const std::string& bytes) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    const size_t page = info.dwPageSize;
    const size_t dataPages = (bytes.size() + page - 1) / page;
    total_ = (dataPages + 1) * page;
    base_ = static_cast<uint8_t*>(VirtualAlloc(nullptr, total_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (base_ == nullptr) return;
    DWORD old = 0;
    VirtualProtect(base_ + dataPages * page, page, PAGE_NOACCESS, &old);
    data_ = base_ + dataPages * page - bytes.size();
    if (!bytes.empty()) std::memcpy(data_, bytes.data(), bytes.size());
    size_ = bytes.size();
  }
  ~GuardedBytes() {
    if (base_ != nullptr) VirtualFree(base_, 0, MEM_RELEASE);
  }
  GuardedBytes(const GuardedBytes&) = delete;
  GuardedBytes& operator=(const GuardedBytes&) = delete;

  bool Ok() const { return base_ != nullptr; }
  const uint8_t* Data() const { return data_; }
  const char* Chars() const { return reinterpret_cast<const char*>(data_); }
  size_t Size() const { return size_; }

 private:
  uint8_t* base_ = nullptr;
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
  size_t total_ = 0;
};

// Mutants tried, refused and accepted for one format; printed at the end.
struct MutationTally {
  const char* format;
  uint32_t seed;
  int tried = 0;
  int refused = 0;
  int accepted = 0;

  void Count(bool wasAccepted) {
    ++tried;
    ++(wasAccepted ? accepted : refused);
  }
  void Print() const {
    std::printf("[mutation] %s: seed %u, %d mutants tried, %d refused, %d accepted\n", format,
                static_cast<unsigned>(seed), tried, refused, accepted);
    std::fflush(stdout);
  }
};

}  // namespace platform::testing
