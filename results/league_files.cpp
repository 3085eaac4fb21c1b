#include "results/league_files.h"

#include <algorithm>

namespace {

std::string Trim(const std::string& s) {
    const std::size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

// Calls `line` with the fields of every line that is not blank or a comment;
// `line` returns an empty text or what is wrong.
template <typename F>
bool ForEachLine(const std::string& text, std::size_t maxFields, F line, std::string& error) {
    std::size_t start = 0;
    int number = 0;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) start = 3;
    while (start < text.size()) {
        ++number;
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string raw = Trim(text.substr(start, end - start));
        start = end + 1;
        if (raw.empty() || raw[0] == '#') continue;
        std::vector<std::string> fields;
        std::size_t from = 0;
        // The last field takes the rest of the line, commas included.
        while (fields.size() + 1 < maxFields) {
            const std::size_t comma = raw.find(',', from);
            if (comma == std::string::npos) break;
            fields.push_back(Trim(raw.substr(from, comma - from)));
            from = comma + 1;
        }
        fields.push_back(Trim(raw.substr(from)));
        for (const std::string& f : fields) {
            if (std::any_of(f.begin(), f.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; })) {
                error = "line " + std::to_string(number) + ": control character";
                return false;
            }
        }
        const std::string problem = line(fields, number);
        if (!problem.empty()) {
            error = "line " + std::to_string(number) + ": " + problem;
            return false;
        }
    }
    return true;
}

bool IsCode(const std::string& s) {
    return !s.empty() && s.size() <= 8 &&
           std::all_of(s.begin(), s.end(), [](char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); });
}

bool IsLeagueName(const std::string& s) {
    return !s.empty() && s.size() <= 32 && s[0] != '.' && std::all_of(s.begin(), s.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
    });
}

}  // namespace

const std::vector<LeagueMapping>& DefaultLeagueMap() {
    static const std::vector<LeagueMapping> map = {
        {"eng", "en.1"}, {"ger", "de.1"}, {"esp", "es.1"}, {"ita", "it.1"}, {"fra", "fr.1"}, {"ned", "nl.1"},
        {"por", "pt.1"}, {"aut", "at.1"}, {"bel", "be.1"}, {"sco", "sco.1"}, {"tur", "tr.1"}, {"gre", "gr.1"},
        {"mex", "mx.1"}, {"aus", "au.1"}, {"egy", "eg.1"}, {"alg", "dz.1"}, {"mar", "ma.1"}, {"bra", "br.1"},
        {"arg", "ar.1"}, {"chn", "cn.1"}, {"jpn", "jp.1"}, {"col", "co.1"}, {"usa", "mls"},
    };
    return map;
}

bool ParseLeagueMap(const std::string& text, std::vector<LeagueMapping>& map, std::string& error) {
    std::vector<LeagueMapping> result = map;
    const bool ok = ForEachLine(
        text, 2,
        [&result](const std::vector<std::string>& f, int) -> std::string {
            if (f.size() != 2) return "expected code,league";
            if (!IsCode(f[0])) return "'" + f[0] + "' is not an association code";
            if (!f[1].empty() && !IsLeagueName(f[1])) return "'" + f[1] + "' is not a league file name";
            result.erase(std::remove_if(result.begin(), result.end(),
                                        [&f](const LeagueMapping& m) { return m.code == f[0]; }),
                         result.end());
            if (!f[1].empty()) result.push_back({f[0], f[1]});
            return {};
        },
        error);
    if (ok) map = std::move(result);
    return ok;
}

bool ParseAdjustments(const std::string& text, std::vector<SeasonAdjustment>& out, std::string& error) {
    std::vector<SeasonAdjustment> result;
    const bool ok = ForEachLine(
        text, 5,
        [&result](const std::vector<std::string>& f, int line) -> std::string {
            if (f.size() < 4) return "expected code,season,team,points,note";
            if (!IsCode(f[0])) return "'" + f[0] + "' is not an association code";
            if (SeasonStartYear(f[1]) < 0) return "'" + f[1] + "' is not a season such as 2023-24 or 2025";
            if (f[2].empty()) return "empty team name";
            const std::string& p = f[3];
            const std::size_t digits = p.find_first_not_of("+-") == 1 ? 1 : 0;
            if (p.size() <= digits || p.size() > digits + 3 ||
                p.find_first_not_of("0123456789", digits) != std::string::npos || (digits == 0 && p[0] == '-'))
                return "points '" + p + "' is not a signed whole number";
            SeasonAdjustment a;
            a.code = f[0];
            a.season = f[1];
            a.adjustment.team = f[2];
            a.adjustment.points = std::stoi(p);
            a.adjustment.note = f.size() > 4 ? f[4] : "";
            a.line = line;
            result.push_back(a);
            return {};
        },
        error);
    if (ok) out = std::move(result);
    return ok;
}

bool ParseDisplayNames(const std::string& text, std::map<std::string, std::string>& out, std::string& error) {
    std::map<std::string, std::string> result;
    const bool ok = ForEachLine(
        text, 2,
        [&result](const std::vector<std::string>& f, int) -> std::string {
            if (f.size() != 2 || f[0].empty() || f[1].empty()) return "expected team,display name";
            if (f[1].size() > 100) return "display name longer than 100 bytes";
            result[f[0]] = f[1];
            return {};
        },
        error);
    if (ok) out = std::move(result);
    return ok;
}

int SeasonStartYear(const std::string& folder) {
    auto digits = [&folder](std::size_t from, std::size_t count) {
        if (from + count > folder.size()) return false;
        for (std::size_t i = from; i < from + count; ++i) {
            if (folder[i] < '0' || folder[i] > '9') return false;
        }
        return true;
    };
    if (folder.size() == 4 && digits(0, 4)) return std::stoi(folder);
    if (folder.size() == 7 && digits(0, 4) && folder[4] == '-' && digits(5, 2)) {
        const int first = std::stoi(folder.substr(0, 4));
        if ((first + 1) % 100 == std::stoi(folder.substr(5, 2))) return first;
    }
    return -1;
}
