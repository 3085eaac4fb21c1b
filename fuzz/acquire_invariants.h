#pragma once
// What must hold for any page, however hostile, on its way from body to rows:
// the tokenizer's events, the reference decoder, attribute values and the
// extractor's table. Shared by the fuzz targets and by the unit tests that
// replay every input the fuzzers ever found, so each rule is written once.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "acquire/char_reference.h"
#include "acquire/fetch_standings.h"
#include "acquire/http_client.h"
#include "acquire/markup_parser.h"
#include "acquire/standings_extractor.h"
#include "acquire/standings_table.h"
#include "fuzz/check.h"

namespace fuzzcheck {

inline bool IsMarkupSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
inline bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
inline bool IsMarkupNameChar(char c) {
    return IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == '-' || c == ':' || c == '_' || c == '.';
}
inline bool AllNameChars(const std::string& s) {
    for (char c : s)
        if (!IsMarkupNameChar(c)) return false;
    return true;
}

// ------------------------------------------------------------------ events

struct MarkupEvent {
    enum Kind { kDocumentStart, kStartTag, kEndTag, kText, kComment, kDocumentEnd };
    Kind kind = kText;
    std::string data;           // tag name, text or comment body
    std::size_t position = 0;   // the parser's position during the callback
    bool stop = false;          // document end: the flag it was handed
    std::vector<std::pair<std::string, std::string>> attributes;  // start tags, values decoded

    bool SameAs(const MarkupEvent& o) const {
        return kind == o.kind && data == o.data && position == o.position && attributes == o.attributes;
    }
};

inline const char* KindName(MarkupEvent::Kind k) {
    switch (k) {
    case MarkupEvent::kDocumentStart: return "document-start";
    case MarkupEvent::kStartTag: return "start";
    case MarkupEvent::kEndTag: return "end";
    case MarkupEvent::kText: return "text";
    case MarkupEvent::kComment: return "comment";
    case MarkupEvent::kDocumentEnd: return "document-end";
    }
    return "?";
}

inline std::string Describe(const MarkupEvent& e) {
    return std::string(KindName(e.kind)) + " " + Show(e.data) + " at " + std::to_string(e.position);
}

// Records every callback with the parser's position at that moment, and asks
// to stop at the callback numbered `stopAt` (0 is the document start).
class MarkupEventLog : public MarkupHandler {
public:
    static constexpr std::size_t kNever = static_cast<std::size_t>(-1);

    MarkupEventLog(const MarkupParser& parser, bool readAttributes, std::size_t stopAt = kNever)
        : parser_(parser), readAttributes_(readAttributes), stopAt_(stopAt) {}

    std::vector<MarkupEvent> events;
    bool stopSetOnEntry = false;

    void OnDocumentStart(void*, bool& stop) override { Add(MarkupEvent::kDocumentStart, std::string(), stop); }
    void OnStartTag(MarkupTag& tag, void*, bool& stop) override {
        Add(MarkupEvent::kStartTag, tag.name, stop);
        if (readAttributes_)
            if (const MarkupAttributeList* list = tag.attributes())
                for (const MarkupAttribute& a : *list) events.back().attributes.emplace_back(a.name(), a.value());
    }
    void OnEndTag(MarkupTag& tag, void*, bool& stop) override { Add(MarkupEvent::kEndTag, tag.name, stop); }
    void OnText(std::string& text, void*, bool& stop) override { Add(MarkupEvent::kText, text, stop); }
    void OnComment(std::string& comment, void*, bool& stop) override { Add(MarkupEvent::kComment, comment, stop); }
    void OnDocumentEnd(void*, bool stop) override {
        MarkupEvent e;
        e.kind = MarkupEvent::kDocumentEnd;
        e.position = parser_.position;
        e.stop = stop;
        events.push_back(std::move(e));
    }

private:
    void Add(MarkupEvent::Kind kind, const std::string& data, bool& stop) {
        if (stop) stopSetOnEntry = true;
        MarkupEvent e;
        e.kind = kind;
        e.data = data;
        e.position = parser_.position;
        if (calls_++ == stopAt_) stop = true;
        events.push_back(std::move(e));
    }

    const MarkupParser& parser_;
    bool readAttributes_;
    std::size_t stopAt_;
    std::size_t calls_ = 0;
};

struct MarkupRun {
    std::vector<MarkupEvent> events;
    std::size_t returned = 0;
    bool stopSetOnEntry = false;
};

struct MarkupSettings {
    bool decode = true;
    unsigned mask = MarkupParser::NotifyAll;
    std::size_t stopAt = MarkupEventLog::kNever;
    bool attributes = true;
    // Through ParseDocument over a buffer of exactly the input's bytes, with
    // no terminating NUL behind them for a scanner to lean on.
    bool exactBuffer = false;
};

inline MarkupRun RunMarkup(std::string_view text, const MarkupSettings& s) {
    MarkupParser parser;
    MarkupEventLog log(parser, s.attributes, s.stopAt);
    parser.decodeEntities = s.decode;
    parser.notifyMask = s.mask;
    parser.handler = &log;
    MarkupRun run;
    if (s.exactBuffer) {
        std::unique_ptr<char[]> exact(new char[text.size() > 0 ? text.size() : 1]);
        if (!text.empty()) std::memcpy(exact.get(), text.data(), text.size());
        parser.input = exact.get();
        parser.length = text.size();
        run.returned = parser.ParseDocument();
    } else {
        const std::string terminated(text);
        run.returned = parser.Parse(terminated.c_str());
    }
    run.events = std::move(log.events);
    run.stopSetOnEntry = log.stopSetOnEntry;
    return run;
}

// The largest position of an earlier event below `e`'s own: whatever `e`
// reports was read from the input between there and its position.
inline std::size_t SpanStart(const std::vector<MarkupEvent>& events, std::size_t index) {
    const std::size_t p = events[index].position;
    for (std::size_t i = index; i-- > 0;)
        if (events[i].position < p) return events[i].position;
    return 0;
}

// True when `needle` stands in in[lo, hi) at an offset where `fits` agrees.
template <class Fits>
bool FoundIn(std::string_view in, std::size_t lo, std::size_t hi, std::string_view needle, Fits&& fits) {
    if (hi > in.size() || lo > hi) return false;
    for (std::size_t at = in.find(needle, lo); at != std::string_view::npos && at + needle.size() <= hi;
         at = in.find(needle, at + 1)) {
        if (fits(at)) return true;
    }
    return false;
}

// Rules every run meets, whatever its settings.
inline void CheckEventSequence(std::string_view in, const MarkupRun& run, const MarkupSettings& s, Verdict& v) {
    const std::vector<MarkupEvent>& ev = run.events;
    if (in.empty()) {
        v.Expect(ev.empty() && run.returned == 0, "an empty input gave events or a position");
        return;
    }
    v.Expect(!run.stopSetOnEntry, "a callback was entered with stop already set");
    v.Check(run.returned <= in.size(),
            [&] { return "the returned position " + std::to_string(run.returned) + " is past the input's "
                + std::to_string(in.size()) + " bytes"; });
    if (s.stopAt == MarkupEventLog::kNever)
        v.Check(run.returned == in.size(),
                [&] { return "no handler stopped, yet the parse returned " + std::to_string(run.returned)
                    + " of " + std::to_string(in.size()); });
    const bool framed = (s.mask & MarkupParser::NotifyDocument) != 0;
    if (framed) {
        if (!v.Expect(ev.size() >= 2, "a document without its start and end events")) return;
        v.Expect(ev.front().kind == MarkupEvent::kDocumentStart && ev.front().position == 0,
                 "the first event is not the document start at 0");
        v.Expect(ev.back().kind == MarkupEvent::kDocumentEnd, "the last event is not the document end");
        v.Expect(ev.back().position == run.returned, "the document end is not at the returned position");
    }
    std::size_t last = 0;
    for (std::size_t i = 0; i < ev.size() && v.ok(); ++i) {
        const MarkupEvent& e = ev[i];
        auto expect = [&](bool ok, const char* what) {
            return v.Check(ok, [&] { return std::string(what) + " (" + Describe(e) + ", event "
                + std::to_string(i) + ")"; });
        };
        const bool document = e.kind == MarkupEvent::kDocumentStart || e.kind == MarkupEvent::kDocumentEnd;
        if (document) {
            expect(framed && (i == 0 || i + 1 == ev.size()), "a document event inside the document");
        } else {
            const unsigned bit = e.kind == MarkupEvent::kStartTag ? MarkupParser::NotifyStartTag
                                 : e.kind == MarkupEvent::kEndTag ? MarkupParser::NotifyEndTag
                                 : e.kind == MarkupEvent::kText   ? MarkupParser::NotifyText
                                                                  : MarkupParser::NotifyComment;
            expect((s.mask & bit) != 0, "an event the mask does not ask for");
        }
        expect(e.position <= in.size(), "an event past the end of the input");
        expect(e.position >= last, "an event before the one that came earlier");
        last = e.position;
        const std::size_t lo = SpanStart(ev, i), hi = e.position;
        switch (e.kind) {
        case MarkupEvent::kText:
            expect(!e.data.empty(), "an empty text event");
            if (!s.decode) {
                // Undecoded, a text is a run of input bytes that a tag
                // follows, or the last run, whose trimmed blanks end it.
                const bool found = FoundIn(in, lo, hi, e.data, [&](std::size_t at) {
                    const std::size_t after = at + e.data.size();
                    if (after < in.size() && in[after] == '<') return true;
                    if (hi != in.size()) return false;
                    for (std::size_t k = after; k < in.size(); ++k)
                        if (!IsMarkupSpace(in[k])) return false;
                    return true;
                });
                expect(found, "an undecoded text that is not a run of the input before its tag");
            } else {
                expect(e.data.size() <= hi - lo, "a text longer than the input it came from");
            }
            break;
        case MarkupEvent::kComment: {
            expect(!e.data.empty(), "an empty comment event");
            const bool found = FoundIn(in, lo, hi, "<!--", [&](std::size_t at) {
                const std::size_t body = at + 4;
                if (in.compare(body, e.data.size(), e.data) != 0) return false;
                const std::size_t after = body + e.data.size();
                return after == in.size() || in.compare(after, 2, "--") == 0;
            });
            expect(found, "a comment body that is not in the input before its position");
            break;
        }
        case MarkupEvent::kStartTag:
            expect(!e.data.empty() && IsAsciiLetter(e.data[0]) && AllNameChars(e.data), "a start tag whose name is not a name");
            expect(FoundIn(in, lo, hi, "<" + e.data, [](std::size_t) { return true; }),
                   "a start tag name that is not in the input before its position");
            for (const auto& a : e.attributes) {
                expect(!a.first.empty() && IsAsciiLetter(a.first[0]) && AllNameChars(a.first), "an attribute whose name is not a name");
                expect(FoundIn(in, lo, hi, a.first, [](std::size_t) { return true; }),
                       "an attribute name that is not inside its tag");
            }
            break;
        case MarkupEvent::kEndTag:
            expect(AllNameChars(e.data), "an end tag whose name is not a name");
            expect((i > 0 && ev[i - 1].kind == MarkupEvent::kStartTag && ev[i - 1].position == e.position &&
                    ev[i - 1].data == e.data) ||
                       FoundIn(in, lo, hi, "</" + e.data, [](std::size_t) { return true; }),
                   "an end tag that is neither in the input nor a self-closed start tag");
            break;
        default:
            break;
        }
    }
}

// The events without the frame and without the last text of the input,
// which only the decoded run trims at its end.
inline std::vector<MarkupEvent> Comparable(const std::vector<MarkupEvent>& ev, std::size_t length) {
    std::vector<MarkupEvent> out;
    for (const MarkupEvent& e : ev)
        if (e.kind != MarkupEvent::kDocumentStart && e.kind != MarkupEvent::kDocumentEnd) out.push_back(e);
    if (!out.empty() && out.back().kind == MarkupEvent::kText && out.back().position == length) {
        // A text delivered at the very end is the last run unless a tag
        // that ends there follows it; that tag would then be the last event.
        out.pop_back();
    }
    return out;
}

inline std::vector<MarkupEvent> OnlyKinds(const std::vector<MarkupEvent>& ev, unsigned mask) {
    std::vector<MarkupEvent> out;
    for (const MarkupEvent& e : ev) {
        const bool keep = (e.kind == MarkupEvent::kStartTag && (mask & MarkupParser::NotifyStartTag)) ||
                          (e.kind == MarkupEvent::kEndTag && (mask & MarkupParser::NotifyEndTag)) ||
                          (e.kind == MarkupEvent::kText && (mask & MarkupParser::NotifyText)) ||
                          (e.kind == MarkupEvent::kComment && (mask & MarkupParser::NotifyComment));
        if (keep) out.push_back(e);
    }
    return out;
}

inline bool SameEvents(const std::vector<MarkupEvent>& a, const std::vector<MarkupEvent>& b, std::string& why) {
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (!a[i].SameAs(b[i])) {
            why = "event " + std::to_string(i) + ": " + Describe(a[i]) + " against " + Describe(b[i]);
            return false;
        }
    }
    if (a.size() != b.size()) {
        why = std::to_string(a.size()) + " events against " + std::to_string(b.size());
        return false;
    }
    return true;
}

// A numeric reference runs to the first ";" whatever stands between its
// digits and it ("&#65abc;" is "A"), so it can swallow a "<" that the same
// page read undecoded takes for a tag.
inline bool ReferenceSpansMarkup(std::string_view in) {
    const std::string text(in);
    std::size_t semicolon = 0;
    bool known = false;
    for (std::size_t i = text.find('&'); i != std::string::npos; i = text.find('&', i + 1)) {
        if (!known || semicolon < i) {
            semicolon = text.find(';', i);
            known = true;
        }
        if (semicolon == std::string::npos) break;
        unsigned char b;
        const std::size_t n = DecodeCharReference(text.c_str() + i, text.c_str() + semicolon, b);
        if (n > 0 && std::memchr(text.data() + i, '<', n) != nullptr) return true;
    }
    return false;
}

// The tokenizer over one input: the download's settings, then the same input
// undecoded, stopped part way, with fewer notifications and in a buffer
// without a terminator, each held against the first run.
inline Verdict CheckMarkupEvents(const std::uint8_t* data, std::size_t size) {
    Verdict v;
    const std::string_view raw(reinterpret_cast<const char*>(data), size);
    // What Parse sees of a body: the bytes up to the first NUL.
    const std::string_view in = raw.substr(0, std::min(raw.find('\0'), raw.size()));
    const std::uint64_t h = Hash(data, size);

    MarkupSettings full;
    const MarkupRun a = RunMarkup(raw, full);
    CheckEventSequence(in, a, full, v);

    MarkupSettings undecoded;
    undecoded.decode = false;
    const MarkupRun b = RunMarkup(raw, undecoded);
    CheckEventSequence(in, b, undecoded, v);
    if (v.ok() && !ReferenceSpansMarkup(in)) {
        // Where no reference holds a "<", decoding moves no tag: the
        // two runs differ only in their texts, and there only by decoding.
        const std::vector<MarkupEvent> ca = Comparable(a.events, in.size()), cb = Comparable(b.events, in.size());
        if (v.Check(ca.size() == cb.size(),
                    [&] { return "decoding changed the number of events: " + std::to_string(ca.size())
                        + " against " + std::to_string(cb.size()) + " undecoded"; })) {
            for (std::size_t i = 0; i < ca.size() && v.ok(); ++i) {
                const MarkupEvent& x = ca[i];
                const MarkupEvent& y = cb[i];
                if (x.kind == MarkupEvent::kText && y.kind == MarkupEvent::kText) {
                    v.Check(x.position == y.position, [&] { return "a decoded text moved: " + Describe(x) + " / "
                        + Describe(y); });
                    v.Check(x.data.size() <= y.data.size(), [&] { return "decoding lengthened a text: "
                        + Describe(x); });
                    if (y.data.find('&') == std::string::npos)
                        v.Check(x.data == y.data, [&] { return "a text without references changed: " + Describe(x); });
                } else {
                    v.Check(x.SameAs(y), [&] { return "decoding changed a tag or comment: " + Describe(x) + " / "
                        + Describe(y); });
                }
            }
        }
    }

    if (v.ok() && !in.empty()) {
        // Stopped at a callback chosen from the input: the same events up to
        // it, nothing after it but the document end, and the position there.
        const std::size_t callbacks = a.events.size() - 1;  // all but the document end
        MarkupSettings stopped;
        stopped.stopAt = static_cast<std::size_t>(h % callbacks);
        const MarkupRun c = RunMarkup(raw, stopped);
        CheckEventSequence(in, c, stopped, v);
        if (v.Check(c.events.size() == stopped.stopAt + 2,
                    [&] { return "stopping at callback " + std::to_string(stopped.stopAt) + " left "
                        + std::to_string(c.events.size()) + " events"; })) {
            for (std::size_t i = 0; i <= stopped.stopAt && v.ok(); ++i)
                v.Check(c.events[i].SameAs(a.events[i]), [&] { return "a stopped run differs at event "
                    + std::to_string(i); });
            v.Expect(c.events.back().stop, "the document end was not told of the stop");
            v.Check(c.returned == c.events[stopped.stopAt].position,
                    [&] { return "a stopped parse returned " + std::to_string(c.returned)
                        + " instead of its position " + std::to_string(c.events[stopped.stopAt].position); });
        }
    }

    if (v.ok()) {
        static const unsigned kMasks[] = {MarkupParser::NotifyStartTag | MarkupParser::NotifyEndTag,
                                          MarkupParser::NotifyText, MarkupParser::NotifyComment,
                                          MarkupParser::NotifyDocument | MarkupParser::NotifyStartTag, 0u};
        MarkupSettings partial;
        partial.mask = kMasks[(h >> 32) % (sizeof kMasks / sizeof kMasks[0])];
        const MarkupRun d = RunMarkup(raw, partial);
        CheckEventSequence(in, d, partial, v);
        std::string why;
        v.Check(SameEvents(OnlyKinds(d.events, partial.mask), OnlyKinds(a.events, partial.mask), why),
                [&] { return "notifying fewer kinds changed the rest: " + why; });
    }

    if (v.ok()) {
        MarkupSettings exact;
        exact.exactBuffer = true;
        const MarkupRun e = RunMarkup(in, exact);
        CheckEventSequence(in, e, exact, v);
        std::string why;
        v.Check(SameEvents(e.events, a.events, why),
                [&] { return "an unterminated buffer parsed differently: " + why; });
    }
    return v;
}

// ------------------------------------------------------------ references

inline Verdict CheckCharReference(const std::uint8_t* data, std::size_t size) {
    Verdict v;
    const std::string_view raw(reinterpret_cast<const char*>(data), size);
    const std::string text(raw.substr(0, std::min(raw.find('\0'), raw.size())));
    const char* semicolon = std::strchr(text.c_str(), ';');

    unsigned char first = 0x5A, second = 0xA5;
    const int n = DecodeCharReference(text.c_str(), first);
    const std::size_t m = DecodeCharReference(text.c_str(), semicolon, second);
    v.Check(n >= 0 && static_cast<std::size_t>(n) == m,
            [&] { return "the two decoders disagree: " + std::to_string(n) + " and " + std::to_string(m)
                + " for " + Show(text); });
    if (n == 0) {
        v.Check(first == 0x5A && second == 0xA5,
                [&] { return "a refused reference still wrote its byte: " + Show(text); });
    } else {
        v.Check(first == second, [&] { return "the two decoders gave different bytes for " + Show(text); });
        v.Check(semicolon != nullptr && static_cast<std::size_t>(n) == static_cast<std::size_t>(semicolon - text.c_str()) + 1,
                [&] { return "a reference that does not end at the first \";\": " + Show(text); });
        std::size_t q = 0;
        while (q < text.size() && IsMarkupSpace(text[q])) ++q;
        v.Check(q < text.size() && text[q] == '&',
                [&] { return "a reference that does not start at \"&\": " + Show(text); });
        v.Check(static_cast<std::size_t>(n) >= q + 3,
                [&] { return "a reference shorter than \"&x;\": " + Show(text); });
        // "&#" and plain digits: the byte is the number's low eight bits.
        if (v.ok() && text[q + 1] == '#') {
            const std::string digits = text.substr(q + 2, static_cast<std::size_t>(n) - q - 3);
            bool plain = !digits.empty() && digits.size() <= 9;
            unsigned long value = 0;
            for (char c : digits) {
                if (c < '0' || c > '9') plain = false;
                value = value * 10 + static_cast<unsigned long>(c - '0');
            }
            if (plain)
                v.Check(first == static_cast<unsigned char>(value & 0xFF),
                        [&] { return "a decimal reference gave the wrong byte: " + Show(text); });
        }
    }
    unsigned char untouched = 0x77;
    v.Check(DecodeCharReference(text.c_str(), nullptr, untouched) == 0 && untouched == 0x77,
            [&] { return "a reference without a \";\" was decoded: " + Show(text); });

    // In a buffer that ends at the ";", with nothing readable behind it.
    if (semicolon != nullptr) {
        const std::size_t len = static_cast<std::size_t>(semicolon - text.c_str()) + 1;
        std::unique_ptr<char[]> exact(new char[len]);
        std::memcpy(exact.get(), text.data(), len);
        unsigned char third = 0x5A;
        const std::size_t k = DecodeCharReference(exact.get(), exact.get() + len - 1, third);
        v.Check(k == m && (k == 0 || third == second),
                [&] { return "a buffer ending at the \";\" decoded differently: " + Show(text); });
    }
    return v;
}

// ----------------------------------------------------- attribute values

inline Verdict CheckSetValue(const std::uint8_t* data, std::size_t size) {
    Verdict v;
    const std::string raw(reinterpret_cast<const char*>(data), size);
    const std::string decoded = MarkupAttribute::DecodeValue(raw);

    MarkupAttribute set;
    set.SetValue(raw);
    v.Check(set.value() == decoded,
            [&] { return "SetValue stored something else than DecodeValue gives for " + Show(raw); });
    MarkupAttribute lazy;
    lazy.SetRawValue(raw);
    v.Check(lazy.value() == decoded,
            [&] { return "a value decoded on first read differs from SetValue for " + Show(raw); });
    v.Check(lazy.value() == decoded,
            [&] { return "a second read of a lazily decoded value changed it for " + Show(raw); });
    v.Check(decoded.size() <= raw.size(), [&] { return "decoding lengthened " + Show(raw); });

    if (raw.find('&') == std::string::npos) {
        // Without references the rules alone apply: trim, drop LF, CR and
        // TAB become blanks.
        std::size_t first = 0, last = raw.size();
        while (first < last && IsMarkupSpace(raw[first])) ++first;
        while (last > first && IsMarkupSpace(raw[last - 1])) --last;
        std::string expected;
        for (std::size_t i = first; i < last; ++i) {
            if (raw[i] == '\n') continue;
            expected += raw[i] == '\r' || raw[i] == '\t' ? ' ' : raw[i];
        }
        v.Check(decoded == expected,
                [&] { return "a value without references came out as " + Show(decoded) + " from " + Show(raw); });
    }

    // The same bytes as a quoted value in a tag give the same value.
    if (raw.find('"') == std::string::npos && raw.find('\0') == std::string::npos) {
        MarkupAttribute parsed;
        const std::string attribute = " a=\"" + raw + "\"";
        const std::size_t n = parsed.Parse(attribute.c_str());
        v.Check(n == attribute.size(),
                [&] { return "a quoted value was not read to its closing quote: " + Show(raw); });
        v.Check(parsed.name() == "a" && parsed.value() == decoded,
                [&] { return "a quoted value read from a tag differs from SetValue for " + Show(raw); });
    }
    return v;
}

// -------------------------------------------------------------- extractor

static_assert(std::tuple_size<decltype(StandingsRow::cells)>::value == 11, "a stored row has eleven cells");

// A download that answers with the given body.
class FixedBodyClient : public HttpClient {
public:
    explicit FixedBodyClient(std::string body) : body_(std::move(body)) {}
    int Get(const std::string&, int, const std::string&, std::string& body) override {
        body = body_;
        return 200;
    }

private:
    std::string body_;
};

// The extractor with eyes on the table: after every callback it checks what
// was appended, and keeps a copy of each row as it was stored.
class WatchedExtractor : public StandingsExtractor {
public:
    explicit WatchedExtractor(Verdict& v) : v_(v) {}
    std::vector<StandingsRow> stored;

    void OnStartTag(MarkupTag& tag, void* userData, bool& stop) override {
        StandingsExtractor::OnStartTag(tag, userData, stop);
        v_.Expect(!stop, "the extractor asked to stop at a start tag");
        v_.Expect(theStandings.GetSize() == static_cast<int>(stored.size()), "a start tag stored a row");
    }
    void OnEndTag(MarkupTag& tag, void* userData, bool& stop) override {
        StandingsExtractor::OnEndTag(tag, userData, stop);
        v_.Expect(!stop, "the extractor asked to stop at an end tag");
        v_.Expect(theStandings.GetSize() == static_cast<int>(stored.size()), "an end tag stored a row");
    }
    void OnText(std::string& text, void* userData, bool& stop) override {
        seen_.insert(text);
        StandingsExtractor::OnText(text, userData, stop);
        v_.Expect(!stop, "the extractor asked to stop at a text");
        const int before = static_cast<int>(stored.size());
        const int now = theStandings.GetSize();
        // One head row and one body row at most, when a cell is both.
        v_.Check(now >= before && now <= before + 2, [&] { return "one text stored "
            + std::to_string(now - before) + " rows"; });
        for (int r = before; r < now && v_.ok(); ++r) {
            const StandingsRow& row = theStandings.ElementAt(r);
            v_.Check(row[1].empty(), [&] { return "row " + std::to_string(r) + " was stored with cell 1 "
                + Show(row[1]); });
            v_.Check(row[10] == text, [&] { return "row " + std::to_string(r) + " was not completed by the text "
                + Show(text); });
            for (int c = 0; c < 11; ++c)
                v_.Check(row[c].empty() || seen_.count(row[c]) == 1, [&] {
                    return "row " + std::to_string(r) + " cell " + std::to_string(c) + " holds " + Show(row[c]) +
                           ", which no text of the page was";
                });
            stored.push_back(row);
        }
    }

private:
    Verdict& v_;
    std::set<std::string> seen_;
};

inline std::vector<StandingsRow> CurrentRows() {
    std::vector<StandingsRow> rows;
    for (int i = 0; i < theStandings.GetSize(); ++i) rows.push_back(theStandings.ElementAt(i));
    return rows;
}

inline bool SameRows(const std::vector<StandingsRow>& a, const std::vector<StandingsRow>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].cells != b[i].cells) return false;
    return true;
}

// A body through the download's own path into theStandings, then through a
// watched extractor; leaves theStandings and the extractor state reset.
inline Verdict CheckStandingsExtraction(const std::uint8_t* data, std::size_t size) {
    Verdict v;
    const std::string body(reinterpret_cast<const char*>(data), size);

    theStandings.RemoveAll();
    StandingsExtractor::ResetSharedState();
    FixedBodyClient client(body);
    v.Expect(FetchStandings(client, "http://standings.invalid/associations/association=ger/"),
             "FetchStandings reported an error for a body it was handed");
    const std::vector<StandingsRow> downloaded = CurrentRows();
    for (std::size_t r = 0; r < downloaded.size() && v.ok(); ++r)
        v.Check(downloaded[r][1].empty(), [&] { return "row " + std::to_string(r) + " has a non-empty cell 1"; });

    theStandings.RemoveAll();
    StandingsExtractor::ResetSharedState();
    std::string flat;
    for (char c : body)
        if (c != '\r' && c != '\n') flat += c;
    WatchedExtractor watched(v);
    MarkupParser parser;
    parser.handler = &watched;
    const std::size_t returned = parser.Parse(flat.c_str());
    v.Expect(returned == std::strlen(flat.c_str()), "the extractor's parse did not reach the end of the page");
    const std::vector<StandingsRow> extracted = CurrentRows();
    v.Expect(SameRows(extracted, watched.stored), "a stored row changed after it was stored");
    v.Expect(SameRows(extracted, downloaded), "the download path and the extractor gave different rows");

    theStandings.RemoveAll();
    StandingsExtractor::ResetSharedState();
    return v;
}

}  // namespace fuzzcheck
