// Hostile variants of recorded PBX messages from a seeded generator: bit flips, truncation,
// swapped member types, edge numbers, huge strings, texts that try to plant bus values, deep
// nesting and splices of two messages. The same seed and index always give the same text,
// so a failing input can be made again from the two numbers alone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace reliability {

// splitmix64: small, fast and good enough to drive mutations.
class Random {
public:
    explicit Random(uint64_t seed) : m_state(seed) {}
    uint64_t Next()
    {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 .. n-1
    size_t Below(size_t n) { return n ? static_cast<size_t>(Next() % n) : 0; }
    bool Chance(unsigned percent) { return Below(100) < percent; }

private:
    uint64_t m_state;
};

class MessageMutator {
public:
    explicit MessageMutator(std::vector<std::wstring> corpus) : m_corpus(std::move(corpus)) {}
    // Input number index of the run with that seed.
    std::wstring Make(uint64_t seed, uint64_t index) const;
    // Longest string a huge-string mutation writes, in characters.
    size_t hugeLimit = 1 << 18;

private:
    std::wstring BitFlip(std::wstring text, Random& r) const;
    std::wstring Truncate(std::wstring text, Random& r) const;
    std::wstring Splice(std::wstring text, Random& r) const;
    std::wstring Nest(std::wstring text, Random& r) const;
    // Replaces one value of the parsed text (kind: 0 type swap, 1 edge number, 2 huge string,
    // 3 planted text); returns the text unchanged when it does not parse.
    std::wstring ReplaceValue(const std::wstring& text, int kind, Random& r) const;

    std::vector<std::wstring> m_corpus;
};

// The UTF-8 lines of a file, each as UTF-16.
std::vector<std::wstring> ReadLines(const wchar_t* path);

}  // namespace reliability
