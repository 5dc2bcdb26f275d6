// The files every SZDD interop test compresses: edge sizes, space pre-fill cases, runs, text, noise
// and a real program image. Shared by the native tests and the Windows test program.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kv::archive::szdd::test {

struct TestFile {
    std::string name;  // a plain file name, usable on Windows and Linux
    std::vector<std::uint8_t> bytes;
};

// A small deterministic generator, so every platform builds the same set.
class TestRandom {
public:
    explicit TestRandom(std::uint32_t seed) : m_state(seed ? seed : 1) {}
    std::uint32_t Next() {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }
    std::vector<std::uint8_t> Bytes(std::size_t count) {
        std::vector<std::uint8_t> out(count);
        for (auto& b : out) b = std::uint8_t(Next() >> 24);
        return out;
    }

private:
    std::uint32_t m_state;
};

inline std::vector<std::uint8_t> Text(std::size_t size, std::uint32_t seed) {
    static const char* const kWords[] = {"the",     "installer", "copies",  "each",    "file",      "into",    "its",
                                         "folder",  "and",       "expands", "it",      "in",        "place",   "with",
                                         "Windows", "LZ",        "service", "licence", "agreement", "shortcut"};
    TestRandom random(seed);
    std::vector<std::uint8_t> out;
    while (out.size() < size) {
        const std::string word = kWords[random.Next() % 20];
        out.insert(out.end(), word.begin(), word.end());
        const std::uint32_t r = random.Next() % 16;
        out.push_back(r == 0 ? '\n' : r == 1 ? '.' : ' ');
    }
    out.resize(size);
    return out;
}

inline std::vector<std::uint8_t> Repeat(std::vector<std::uint8_t> block, std::size_t times) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < times; ++i) out.insert(out.end(), block.begin(), block.end());
    return out;
}

inline std::vector<std::uint8_t> Str(const std::string& s) { return {s.begin(), s.end()}; }

// `programImage` is the bytes of a real executable (the running test program), the "binary" case.
inline std::vector<TestFile> MakeTestSet(const std::vector<std::uint8_t>& programImage) {
    std::vector<TestFile> set;
    auto add = [&](std::string name, std::vector<std::uint8_t> bytes) {
        set.push_back({std::move(name), std::move(bytes)});
    };
    add("empty.bin", {});
    const std::string alphabet = "abcabcaaaaaaaaa";
    for (std::size_t n = 1; n <= 15; ++n) add("short" + std::to_string(n) + ".txt", Str(alphabet.substr(0, n)));
    add("short-spaces3.txt", Str("   "));
    add("short-spaces-x.txt", Str("     x     "));
    for (std::size_t n : {1, 17, 18, 19, 4078, 4080, 4096, 4097, 10000}) {
        add("spaces" + std::to_string(n) + ".txt", std::vector<std::uint8_t>(n, ' '));
    }
    add("lead-spaces.txt", [] {
        auto v = Str(std::string(40, ' ') + "indented text   with   gaps\n" + std::string(3000, ' ') + "end");
        auto t = Text(20000, 7);
        v.insert(v.end(), t.begin(), t.end());
        return v;
    }());
    add("lead-space-one.txt", Str(" a  ab   abc    abcd     abcde      abcdef       "));
    add("random-100k.bin", TestRandom(1).Bytes(100000));
    add("random-4095-twice.bin", Repeat(TestRandom(2).Bytes(4095), 2));
    add("random-4096-thrice.bin", Repeat(TestRandom(3).Bytes(4096), 3));
    add("random-4097-twice.bin", Repeat(TestRandom(4).Bytes(4097), 2));
    add("zeros-100k.bin", std::vector<std::uint8_t>(100000, 0));
    add("run-A-70000.txt", std::vector<std::uint8_t>(70000, 'A'));
    add("runs-mixed.bin", [] {
        std::vector<std::uint8_t> v;
        TestRandom r(5);
        for (int i = 0; i < 300; ++i) v.insert(v.end(), r.Next() % 300, std::uint8_t(r.Next()));
        return v;
    }());
    add("period2.bin", Repeat({0xAB, 0xCD}, 5000));
    add("text-200k.txt", Text(200000, 11));
    if (!programImage.empty()) add("program.exe", programImage);
    return set;
}

}  // namespace kv::archive::szdd::test
