#pragma once
// What must hold for any profile file the user may have written by hand:
// every read gives the default or a trimmed value of the file, and a write
// gives back what was written while every other value reads as before and
// every other line stays as it was. Shared by the fuzz target and the replay
// test of the Linux profile.

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz/check.h"
#include "platform/posix/ini_profile.h"

namespace fuzzcheck {

inline bool IsIniBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r'; }

inline std::string_view IniTrim(std::string_view s) {
    while (!s.empty() && IsIniBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsIniBlank(s.back())) s.remove_suffix(1);
    return s;
}

inline bool SameIniName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

inline std::vector<std::string> SplitIniLines(const std::string& content) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t nl = content.find('\n', start);
        std::string line = content.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
        while (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        if (nl == std::string::npos) break;
        start = nl + 1;
    }
    return lines;
}

using IniName = std::pair<std::string, std::string>;  // section, entry

// The section and value names the file itself uses, under the sections they
// stand in, and the saver's own.
inline std::vector<IniName> NamesInFile(const std::string& content, std::size_t limit) {
    std::vector<IniName> names = {{"Settings", "Championship"}, {"Settings", "Server"}, {"Fuzz", "Entry"}};
    std::string section;
    for (const std::string& line : SplitIniLines(content)) {
        if (names.size() >= limit) break;
        const std::string_view t = IniTrim(line);
        if (t.empty() || t[0] == ';' || t[0] == '#') continue;
        if (t[0] == '[') {
            const std::size_t close = t.find(']');
            if (close != std::string_view::npos) section = std::string(IniTrim(t.substr(1, close - 1)));
            continue;
        }
        const std::size_t eq = t.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string entry(IniTrim(t.substr(0, eq)));
        if (!entry.empty() && !section.empty()) names.emplace_back(section, entry);
    }
    return names;
}

inline bool ReadFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

inline bool WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    return static_cast<bool>(out);
}

// Names the writer must accept: plain words, no blank at either end.
inline bool PlainIniName(const std::string& s) {
    if (s.empty() || IsIniBlank(s.front()) || IsIniBlank(s.back())) return false;
    for (char c : s)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == ' ' ||
              c == '.' || c == '-'))
            return false;
    return true;
}

inline void CheckReadValue(const std::string& content, const std::string& value, const std::string& what, Verdict& v) {
    v.Check(value.find('\n') == std::string::npos, [&] { return "a value with a line break: " + what; });
    v.Check(content.find(value) != std::string::npos, [&] { return "a value that is not in the file: " + what; });
    // Blanks survive at an end only inside the quotes that kept them.
    if (!value.empty() && (IsIniBlank(value.front()) || IsIniBlank(value.back())))
        v.Check(content.find("\"" + value + "\"") != std::string::npos || content.find("'" + value + "'") != std::string::npos,
                [&] { return "an untrimmed value outside quotes: " + what; });
}

// `directory` must exist; the check leaves its profile file there.
inline Verdict CheckIniProfile(const std::uint8_t* data, std::size_t size, const std::string& directory) {
    Verdict v;
    const std::string content(reinterpret_cast<const char*>(data), size);
    IniProfile profile("fuzz", directory);
    const std::string path = profile.FilePath();
    if (!v.Check(WriteFile(path, content), [&] { return "cannot write the profile file " + path; })) return v;

    const std::string kDefault = "\x01(default)";
    const std::vector<IniName> names = NamesInFile(content, 10);
    std::vector<std::string> before;
    for (const IniName& n : names) {
        const std::string value = profile.GetProfileString(n.first, n.second, kDefault);
        if (value != kDefault) CheckReadValue(content, value, "[" + Show(n.first) + "] " + Show(n.second) + " = " + Show(value), v);
        before.push_back(value);
    }
    if (!v.ok()) return v;

    const std::uint64_t h = Hash(data, size);
    const IniName& target = names[h % names.size()];
    std::string value;
    if (size > 0) {
        const std::size_t from = static_cast<std::size_t>((h >> 16) % size);
        value = content.substr(from, static_cast<std::size_t>((h >> 40) % 24));
    }
    const bool writable = value.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
    const bool ok = profile.WriteProfileString(target.first, target.second, value);
    std::string after;
    if (!v.Expect(ReadFile(path, after), "the profile file is gone after a write")) return v;
    const std::string what = "[" + Show(target.first) + "] " + Show(target.second) + " = " + Show(value);
    if (PlainIniName(target.first) && PlainIniName(target.second) && target.second[0] != '#' &&
        target.second[0] != ';' && writable)
        v.Check(ok, [&] { return "a plain write was refused: " + what; });
    if (!writable) v.Check(!ok, [&] { return "a value with a line break or NUL was written: " + what; });
    if (!ok) {
        v.Check(after == content, [&] { return "a refused write changed the file: " + what; });
        return v;
    }

    v.Check(profile.GetProfileString(target.first, target.second, kDefault) == value,
            [&] { return "a written value does not read back: " + what; });
    for (std::size_t i = 0; i < names.size() && v.ok(); ++i) {
        const bool same = SameIniName(names[i].first, target.first) && SameIniName(names[i].second, target.second);
        const std::string now = profile.GetProfileString(names[i].first, names[i].second, kDefault);
        v.Check(now == (same ? value : before[i]),
                [&] { return "writing " + what + " changed [" + Show(names[i].first) + "] "
                    + Show(names[i].second) + " from " + Show(before[i]) + " to " + Show(now); });
    }

    // One line replaced, or a few added at one place; the rest as it was.
    const std::vector<std::string> oldLines = SplitIniLines(content), newLines = SplitIniLines(after);
    std::size_t prefix = 0;
    while (prefix < oldLines.size() && prefix < newLines.size() && oldLines[prefix] == newLines[prefix]) ++prefix;
    std::size_t suffix = 0;
    while (suffix < oldLines.size() - prefix && suffix < newLines.size() - prefix &&
           oldLines[oldLines.size() - 1 - suffix] == newLines[newLines.size() - 1 - suffix])
        ++suffix;
    v.Check(oldLines.size() - prefix - suffix <= 1 && newLines.size() - prefix - suffix <= 4,
            [&] { return "writing " + what + " changed more than its own line: "
                + std::to_string(oldLines.size() - prefix - suffix) + " old lines became " + std::to_string(newLines.size() - prefix - suffix); });
    return v;
}

}  // namespace fuzzcheck
