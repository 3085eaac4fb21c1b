#pragma once
// The verdict of one invariant check over one input: the first broken
// invariant, in words. The fuzz targets abort on it, so that libFuzzer keeps
// the input; the replay tests print it next to the file that caused it.

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzzcheck {

class Verdict {
public:
    bool ok() const { return first_.empty(); }
    const std::string& first() const { return first_; }

    // Only the first failure is kept: later ones are usually its echoes.
    void Fail(const std::string& what) {
        if (first_.empty()) first_ = what.empty() ? std::string("(unnamed invariant)") : what;
    }
    bool Expect(bool condition, const std::string& what) {
        if (!condition) Fail(what);
        return condition;
    }
    bool Expect(bool condition, const char* what) {
        if (!condition) Fail(what);
        return condition;
    }
    // The same, with the message made only when it is needed: checks run
    // once per event of every input, and messages are not free.
    template <class Message>
    bool Check(bool condition, Message&& message) {
        if (!condition) Fail(message());
        return condition;
    }

private:
    std::string first_;
};

// Bytes shown in a message: printable ASCII as is, the rest as \xHH, cut
// after `limit` bytes.
inline std::string Show(const std::string& bytes, std::size_t limit = 80) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string out = "\"";
    for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    if (bytes.size() > limit) out += "...";
    return out + "\"";
}

// FNV-1a: a choice the checks make from the input (where to stop a parse,
// which value to write) is the same on every run and every machine.
inline std::uint64_t Hash(const std::uint8_t* data, std::size_t size) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (std::size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 0x100000001b3ull;
    return h;
}

}  // namespace fuzzcheck
