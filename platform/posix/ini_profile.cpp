#include "platform/posix/ini_profile.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

// One line of the file, its terminator kept apart so that it can be written
// back exactly as it was.
struct Line {
    std::string_view text;
    std::string_view end;  // "\n", "\r\n" or "" for a last line without one
};

std::vector<Line> SplitLines(std::string_view content) {
    std::vector<Line> lines;
    size_t start = 0;
    while (start < content.size()) {
        size_t nl = content.find('\n', start);
        if (nl == std::string_view::npos) {
            lines.push_back({content.substr(start), {}});
            break;
        }
        size_t textEnd = nl;
        if (textEnd > start && content[textEnd - 1] == '\r') --textEnd;
        lines.push_back({content.substr(start, textEnd - start), content.substr(textEnd, nl + 1 - textEnd)});
        start = nl + 1;
    }
    return lines;
}

enum class Kind { Other, Section, Value };

struct Parsed {
    Kind kind = Kind::Other;
    std::string_view name;   // section or value name, trimmed
    std::string_view value;  // trimmed, quotes removed
};

Parsed ParseLine(std::string_view text) {
    Parsed p;
    const std::string_view t = Trim(text);
    if (t.empty() || t[0] == ';' || t[0] == '#') return p;
    if (t[0] == '[') {
        const size_t close = t.find(']');
        if (close == std::string_view::npos) return p;
        p.kind = Kind::Section;
        p.name = Trim(t.substr(1, close - 1));
        return p;
    }
    const size_t eq = t.find('=');
    if (eq == std::string_view::npos) return p;
    p.name = Trim(t.substr(0, eq));
    if (p.name.empty()) return p;
    p.kind = Kind::Value;
    std::string_view v = Trim(t.substr(eq + 1));
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
    }
    p.value = v;
    return p;
}

enum class ReadResult { Ok, Missing, Failed };

// Only a regular file of sensible size is a profile. A FIFO would block the
// saver before it has a window (no signal handler can help there), and a
// link to a device such as /dev/zero would be read until memory runs out.
// Opened without blocking so that a FIFO can be recognised at all.
ReadResult ReadProfileFile(const std::string& path, std::string& out, std::string& why) {
    out.clear();
    why.clear();
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT) return ReadResult::Missing;
        why = std::strerror(errno);
        return ReadResult::Failed;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        why = "not a regular file";
    } else if (st.st_size > static_cast<off_t>(kMaxProfileBytes)) {
        why = "larger than 1 MiB";
    } else {
        char buffer[8192];
        for (;;) {
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                why = std::strerror(errno);
                break;
            }
            if (n == 0) break;
            // It may have grown since fstat.
            if (static_cast<size_t>(n) > kMaxProfileBytes - out.size()) {
                why = "larger than 1 MiB";
                break;
            }
            out.append(buffer, static_cast<size_t>(n));
        }
    }
    close(fd);
    if (why.empty()) return ReadResult::Ok;
    out.clear();
    return ReadResult::Failed;
}

// Whether `path` may be written. Root passes access() for anything, but a
// file or folder its user made read-only is still not ours to change, so the
// permission bits of our class are asked as well.
bool MayWrite(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || access(path.c_str(), W_OK) != 0) return false;
    if (st.st_uid == geteuid()) return (st.st_mode & S_IWUSR) != 0;
    bool inGroup = st.st_gid == getegid();
    if (!inGroup) {
        gid_t groups[256];
        const int n = getgroups(256, groups);
        for (int i = 0; i < n && !inGroup; ++i) inGroup = groups[i] == st.st_gid;
    }
    return (st.st_mode & (inGroup ? S_IWGRP : S_IWOTH)) != 0;
}

bool WriteAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Creates every missing folder of `dir`; new ones are private to the user,
// as configuration folders should be.
bool MakeDirectories(const std::string& dir) {
    if (dir.empty()) return false;
    for (size_t i = 1; i <= dir.size(); ++i) {
        if (i < dir.size() && dir[i] != '/') continue;
        const std::string part = dir.substr(0, i);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    struct stat st;
    return stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string HomeDirectory() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return home;
    std::vector<char> buffer(16384);
    passwd pw;
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &pw, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr && found->pw_dir[0] == '/') {
        return found->pw_dir;
    }
    return {};
}

bool HasLineBreakOrNul(std::string_view s) { return s.find_first_of(std::string_view("\r\n\0", 3)) != s.npos; }

// Names that could not be read back as the same name are refused.
bool ValidNames(std::string_view section, std::string_view entry) {
    if (section.empty() || entry.empty()) return false;
    if (HasLineBreakOrNul(section) || HasLineBreakOrNul(entry)) return false;
    if (section.find(']') != section.npos || Trim(section) != section) return false;
    if (entry.find('=') != entry.npos || Trim(entry) != entry) return false;
    return entry[0] != '[' && entry[0] != ';' && entry[0] != '#';
}

// A value that reading would change (surrounding blanks, or a pair of quotes
// of its own) is written inside quotes, which reading removes again.
std::string EncodeValue(const std::string& value) {
    if (value.empty()) return value;
    const bool blankEdge = IsBlank(value.front()) || IsBlank(value.back());
    const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                        value.back() == value.front();
    return blankEdge || quoted ? "\"" + value + "\"" : value;
}

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::string IniProfile::DefaultDirectory(const std::string& appName) {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    // Relative values are to be ignored, as the base-directory rules say.
    std::string base = xdg != nullptr && xdg[0] == '/' ? std::string(xdg) : std::string();
    if (base.empty()) {
        const std::string home = HomeDirectory();
        if (home.empty()) return {};
        base = home + "/.config";
    }
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    return base + "/" + appName;
}

IniProfile::IniProfile(const std::string& appName) : IniProfile(appName, DefaultDirectory(appName)) {}

IniProfile::IniProfile(const std::string& appName, const std::string& directory) : directory_(directory) {
    if (!directory_.empty() && !appName.empty()) path_ = directory_ + "/" + appName + ".ini";
}

void IniProfile::Report(const std::string& problem) {
    if (problem.empty() || problem == reported_) return;
    reported_ = problem;
    if (onProblem_) onProblem_(problem);
}

std::string IniProfile::GetProfileString(const std::string& section, const std::string& entry,
                                         const std::string& defaultValue) {
    std::string content;
    if (path_.empty()) return defaultValue;
    std::string why;
    if (ReadProfileFile(path_, content, why) != ReadResult::Ok) {
        if (!why.empty()) Report("the settings file " + path_ + " is not read (" + why + "); the defaults apply");
        return defaultValue;
    }
    bool inSection = false;
    for (const Line& line : SplitLines(content)) {
        const Parsed p = ParseLine(line.text);
        if (p.kind == Kind::Section) {
            // The first section of that name is the one that counts.
            if (inSection) break;
            inSection = SameName(p.name, section);
        } else if (inSection && p.kind == Kind::Value && SameName(p.name, entry)) {
            return std::string(p.value);
        }
    }
    return defaultValue;
}

bool IniProfile::WriteProfileString(const std::string& section, const std::string& entry,
                                    const std::string& value) {
    writeError_.clear();
    if (!Write(section, entry, value)) {
        if (writeError_.empty()) writeError_ = path_.empty() ? "no settings folder is known" : "unknown error";
        return false;
    }
    return true;
}

bool IniProfile::Write(const std::string& section, const std::string& entry, const std::string& value) {
    if (path_.empty()) return false;
    if (!ValidNames(section, entry) || HasLineBreakOrNul(value)) {
        writeError_ = "the value cannot be stored in " + path_;
        return false;
    }

    // A profile that is a symbolic link stays one: the file it points to is
    // the one replaced.
    std::string target = path_;
    struct stat st;
    if (lstat(path_.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (realpath(path_.c_str(), resolved) == nullptr) {
            writeError_ = path_ + ": " + std::strerror(errno);
            return false;
        }
        target = resolved;
    }

    std::string content, why;
    const ReadResult read = ReadProfileFile(target, content, why);
    // Never replace what could not be read.
    if (read == ReadResult::Failed) {
        writeError_ = target + " cannot be read (" + why + ")";
        return false;
    }
    if (read == ReadResult::Ok && !MayWrite(target)) {
        writeError_ = target + " is read-only";
        return false;
    }

    const std::vector<Line> lines = SplitLines(content);
    const std::string eol = !lines.empty() && lines.front().end == "\r\n" ? "\r\n" : "\n";
    const std::string newLine = entry + "=" + EncodeValue(value);

    // Index of the line to replace, or of the line after which to insert.
    bool inSection = false, sectionFound = false;
    size_t replaceAt = lines.size(), insertAfter = lines.size();
    std::string_view existingName;
    for (size_t i = 0; i < lines.size(); ++i) {
        const Parsed p = ParseLine(lines[i].text);
        if (p.kind == Kind::Section) {
            if (inSection) break;
            if (SameName(p.name, section)) {
                inSection = sectionFound = true;
                insertAfter = i;
            }
        } else if (inSection && p.kind == Kind::Value) {
            if (SameName(p.name, entry)) {
                replaceAt = i;
                existingName = p.name;
                break;
            }
            insertAfter = i;
        }
    }

    std::string out;
    out.reserve(content.size() + newLine.size() + section.size() + 8);
    auto appendLine = [&out, &eol](const Line& line) {
        out.append(line.text);
        out.append(line.end.empty() ? std::string_view(eol) : line.end);
    };
    if (replaceAt < lines.size()) {
        for (size_t i = 0; i < lines.size(); ++i) {
            if (i == replaceAt) {
                out.append(std::string(existingName) + "=" + EncodeValue(value));
                out.append(lines[i].end.empty() ? std::string_view() : lines[i].end);
            } else {
                out.append(lines[i].text);
                out.append(lines[i].end);
            }
        }
    } else if (sectionFound) {
        for (size_t i = 0; i < lines.size(); ++i) {
            if (i == insertAfter) {
                appendLine(lines[i]);
                out.append(newLine + eol);
            } else {
                out.append(lines[i].text);
                out.append(lines[i].end);
            }
        }
    } else {
        out = content;
        if (!out.empty() && out.back() != '\n') out += eol;
        if (!lines.empty() && !Trim(lines.back().text).empty()) out += eol;
        out += "[" + section + "]" + eol + newLine + eol;
    }

    const std::string dir = DirectoryOf(target);
    if (!MakeDirectories(dir)) {
        writeError_ = "the folder " + dir + " cannot be made (" + std::strerror(errno) + ")";
        return false;
    }
    if (!MayWrite(dir)) {
        writeError_ = "the folder " + dir + " is read-only";
        return false;
    }

    std::string temp = target + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) {
        writeError_ = "cannot create a file in " + dir + " (" + std::strerror(errno) + ")";
        return false;
    }
    int failure = 0;
    if (read == ReadResult::Ok && stat(target.c_str(), &st) == 0 && fchmod(fd, st.st_mode & 07777) != 0) failure = errno;
    errno = 0;
    if (failure == 0 && !WriteAll(fd, out)) failure = errno != 0 ? errno : EIO;
    if (failure == 0 && fsync(fd) != 0) failure = errno;
    if (close(fd) != 0 && failure == 0) failure = errno;
    if (failure == 0 && rename(temp.c_str(), target.c_str()) != 0) failure = errno;
    if (failure != 0) {
        writeError_ = "cannot write " + target + " (" + std::strerror(failure) + ")";
        unlink(temp.c_str());
        return false;
    }
    // The rename itself must reach the disk, or a crash could bring back the
    // old file (or none at all).
    const int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return true;
}
