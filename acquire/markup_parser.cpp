#include "acquire/markup_parser.h"

#include <bit>
#include <cstring>

#include "acquire/char_reference.h"

namespace {

// Every byte of a name or an unquoted value is classified, so each test is
// one load from a table. Bytes from 0x80 up belong to no class.
enum : std::uint8_t { kSpace = 1, kLetter = 2, kName = 4, kValueEnd = 8 };

struct CharClasses {
    std::uint8_t of[256] = {};
    constexpr CharClasses() {
        for (int c = 0; c < 256; ++c) {
            std::uint8_t k = 0;
            if (c == ' ' || (c >= '\t' && c <= '\r')) k |= kSpace | kValueEnd;
            if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) k |= kLetter | kName;
            if ((c >= '0' && c <= '9') || c == '-' || c == ':' || c == '_' || c == '.') k |= kName;
            if (c == '/' || c == '>') k |= kValueEnd;
            of[c] = k;
        }
    }
};

constexpr CharClasses kClasses;

bool Is(char c, std::uint8_t k) { return (kClasses.of[static_cast<unsigned char>(c)] & k) != 0; }
bool IsSpace(char c) { return Is(c, kSpace); }
bool IsLetter(char c) { return Is(c, kLetter); }
bool IsNameChar(char c) { return Is(c, kName); }

const char* SkipSpace(const char* p, const char* end) {
    while (p < end && IsSpace(*p)) ++p;
    return p;
}

// The first "<" (or, with ampersands, "&") in [p, end), or end. Plain text
// between markup is most of a page, so it is scanned eight bytes at a time.
const char* FindMarkupByte(const char* p, const char* end, bool ampersands) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kHighs = 0x8080808080808080ull;
    constexpr std::uint64_t kLess = kOnes * static_cast<unsigned char>('<');
    const std::uint64_t amp = kOnes * static_cast<unsigned char>(ampersands ? '&' : '<');
    while (end - p >= 8) {
        std::uint64_t w;
        std::memcpy(&w, p, sizeof w);
        const std::uint64_t a = w ^ kLess;
        const std::uint64_t b = w ^ amp;
        // A zero byte in a or b sets its high bit here; a borrow can flag a
        // byte above a real match too, but never one below it.
        const std::uint64_t hits = (((a - kOnes) & ~a) | ((b - kOnes) & ~b)) & kHighs;
        if (hits != 0) {
            if constexpr (std::endian::native == std::endian::little) return p + (std::countr_zero(hits) >> 3);
            break;  // the byte loop below finds it
        }
        p += 8;
    }
    while (p < end && *p != '<' && !(ampersands && *p == '&')) ++p;
    return p;
}

const char* FindByte(char c, const char* from, const char* end) {
    if (from >= end) return end;
    const void* hit = std::memchr(from, static_cast<unsigned char>(c), static_cast<std::size_t>(end - from));
    return hit ? static_cast<const char*>(hit) : end;
}

const char* FindPairIn(char a, char b, const char* from, const char* end) {
    for (;;) {
        const char* hit = FindByte(a, from, end);
        if (end - hit < 2) return end;
        if (hit[1] == b) return hit;
        from = hit + 1;
    }
}

// One attribute as it stands in the input, before anything is copied.
struct AttributeSpan {
    const char* name;
    std::size_t nameLength;
    const char* value;
    std::size_t valueLength;
};

std::size_t ScanAttribute(const char* p, MarkupScan& scan, AttributeSpan& out) {
    const char* const end = scan.end();
    const char* q = SkipSpace(p, end);
    if (q >= end || !IsLetter(*q)) return 0;
    const char* const name = q;
    while (q < end && IsNameChar(*q)) ++q;
    if (q < end && !(IsSpace(*q) || *q == '=' || *q == '>' || *q == '/')) return 0;
    out.name = name;
    out.nameLength = static_cast<std::size_t>(q - name);
    out.value = q;
    out.valueLength = 0;
    if (q >= end || *q != '=') return static_cast<std::size_t>(q - p);
    q = SkipSpace(q + 1, end);
    if (q >= end) return static_cast<std::size_t>(end - p);  // "=" and blanks to the end: nothing to close
    if (*q == '"' || *q == '\'') {
        const char* const value = q + 1;
        const char* const close = scan.Find(*q, value);
        out.value = value;
        out.valueLength = static_cast<std::size_t>(close - value);
        // An unclosed quote takes the rest of the input.
        return static_cast<std::size_t>((close == end ? end : close + 1) - p);
    }
    const char* const value = q++;
    while (q < end && !Is(*q, kValueEnd)) ++q;
    out.value = value;
    out.valueLength = static_cast<std::size_t>(q - value);
    return static_cast<std::size_t>(q - p);
}

// Attributes one after the other from p until one fails, the input ends or
// limit bytes are taken; each is handed to visit. With consultMemory it stops
// early and sets unreadable when the chain reaches a name from which a chain
// is already known to leave its tag unreadable. Returns the bytes taken.
template <class Visit>
std::size_t WalkAttributes(const char* p, MarkupScan& scan, bool consultMemory, std::size_t limit, bool& unreadable,
                           Visit&& visit) {
    const char* const end = scan.end();
    unreadable = false;
    std::size_t total = 0;
    while (p + total < end && total < limit) {
        const char* at = p + total;
        if (consultMemory) {
            const char* nameStart = SkipSpace(at, end);
            if (nameStart < end && scan.KnownUnreadable(nameStart)) {
                unreadable = true;
                return total;
            }
        }
        AttributeSpan span;
        const std::size_t n = ScanAttribute(at, scan, span);
        if (n == 0) break;
        visit(span);
        total += n;
    }
    return total;
}

constexpr std::size_t kNoLimit = static_cast<std::size_t>(-1);

}  // namespace

// ---------------------------------------------------------------- MarkupScan

void MarkupScan::Reset(const char* begin, const char* end) {
    begin_ = begin;
    end_ = end;
    for (Known& k : known_) k = Known{};
    unreadable_.clear();
}

const char* MarkupScan::Cached(Slot slot, const char* from, char a, char b) {
    Known& k = known_[slot];
    if (k.from != nullptr && from >= k.from && from <= k.found) return k.found;
    const char* found = b != '\0' ? FindPairIn(a, b, from, end_) : FindByte(a, from, end_);
    k.from = from;
    k.found = found;
    return found;
}

const char* MarkupScan::Find(char c, const char* from) {
    switch (c) {
    case '"': return Cached(kDoubleQuote, from, c, '\0');
    case '\'': return Cached(kSingleQuote, from, c, '\0');
    case '>': return Cached(kGreater, from, c, '\0');
    case ';': return Cached(kSemicolon, from, c, '\0');
    default: return FindByte(c, from, end_);
    }
}

const char* MarkupScan::FindPair(char a, char b, const char* from) {
    if (a == '/' && b == '>') return Cached(kSlashGreater, from, a, b);
    if (a == '-' && b == '-') return Cached(kDashDash, from, a, b);
    return FindPairIn(a, b, from, end_);
}

bool MarkupScan::KnownUnreadable(const char* nameStart) const {
    if (unreadable_.empty() || nameStart < begin_ || nameStart >= end_) return false;
    const std::size_t i = static_cast<std::size_t>(nameStart - begin_);
    return (unreadable_[i >> 3] >> (i & 7)) & 1u;
}

void MarkupScan::MarkUnreadable(const char* nameStart) {
    if (nameStart < begin_ || nameStart >= end_) return;
    if (unreadable_.empty()) unreadable_.assign(static_cast<std::size_t>(end_ - begin_) / 8 + 1, 0);
    const std::size_t i = static_cast<std::size_t>(nameStart - begin_);
    unreadable_[i >> 3] = static_cast<std::uint8_t>(unreadable_[i >> 3] | (1u << (i & 7)));
}

// ----------------------------------------------------------- MarkupAttribute

MarkupAttribute::MarkupAttribute(std::string name, std::string value) : name_(std::move(name)), value_(std::move(value)) {}

const std::string& MarkupAttribute::value() const {
    if (undecoded_) {
        value_ = DecodeValue(std::move(value_));
        undecoded_ = false;
    }
    return value_;
}

void MarkupAttribute::Assign(const char* name, std::size_t nameLength, const char* raw, std::size_t rawLength) {
    name_.assign(name, nameLength);
    value_.assign(raw, rawLength);
    undecoded_ = rawLength != 0;
}

std::size_t MarkupAttribute::Parse(const char* p) {
    if (p == nullptr) return 0;
    MarkupScan scan(p, p + std::strlen(p));
    return Parse(p, scan);
}

std::size_t MarkupAttribute::Parse(const char* p, MarkupScan& scan) {
    AttributeSpan span;
    const std::size_t n = ScanAttribute(p, scan, span);
    if (n > 0) Assign(span.name, span.nameLength, span.value, span.valueLength);
    return n;
}

void MarkupAttribute::SetValue(const std::string& raw) {
    value_ = DecodeValue(raw);
    undecoded_ = false;
}

void MarkupAttribute::SetRawValue(std::string raw) {
    value_ = std::move(raw);
    undecoded_ = !value_.empty();
}

namespace {

// Every occurrence, left to right, as the framework's string Replace does.
void ReplaceAll(std::string& s, const std::string& from, char to) {
    std::string out;
    out.reserve(s.size());
    std::size_t i = 0;
    for (;;) {
        const std::size_t hit = s.find(from, i);
        if (hit == std::string::npos) break;
        out.append(s, i, hit - i);
        out.push_back(to);
        i = hit + from.size();
    }
    out.append(s, i, std::string::npos);
    s.swap(out);
}

}  // namespace

std::string MarkupAttribute::DecodeValue(std::string v) {
    std::size_t first = 0;
    while (first < v.size() && IsSpace(v[first])) ++first;
    std::size_t last = v.size();
    while (last > first && IsSpace(v[last - 1])) --last;
    std::string s;
    s.reserve(last - first);
    for (std::size_t i = first; i < last; ++i) {
        const char c = v[i];
        if (c == '\n') continue;
        s.push_back(c == '\r' || c == '\t' ? ' ' : c);
    }

    // The reference decoder reads the rest of the value as a NUL-terminated
    // text, so its ";" must lie before any NUL a reference has produced. Both
    // are looked up once per change of the value, not once per "&".
    std::size_t semicolon = std::string::npos, nul = std::string::npos, knownFrom = 0;
    bool known = false;
    for (std::size_t i = s.find('&'); i != std::string::npos; i = s.find('&', i + 1)) {
        if (!known || i > semicolon || i > nul || i < knownFrom) {
            semicolon = s.find(';', i);
            nul = s.find('\0', i);
            knownFrom = i;
            known = true;
        }
        const char* semi = (semicolon != std::string::npos && semicolon < nul) ? s.c_str() + semicolon : nullptr;
        unsigned char b;
        const std::size_t n = DecodeCharReference(s.c_str() + i, semi, b);
        if (n > 0) {
            ReplaceAll(s, s.substr(i, n), static_cast<char>(b));
            known = false;
        }
    }
    return s;
}

// ------------------------------------------------------- MarkupAttributeList

MarkupAttributeList::~MarkupAttributeList() = default;

std::size_t MarkupAttributeList::Parse(const char* p) {
    if (p == nullptr) return 0;
    MarkupScan scan(p, p + std::strlen(p));
    return Parse(p, scan);
}

std::size_t MarkupAttributeList::Parse(const char* p, MarkupScan& scan) {
    std::vector<MarkupAttribute> parsed;
    bool unreadable;
    const std::size_t n = WalkAttributes(p, scan, false, kNoLimit, unreadable, [&](const AttributeSpan& span) {
        parsed.emplace_back();
        parsed.back().Assign(span.name, span.nameLength, span.value, span.valueLength);
    });
    if (n == 0) return 0;
    items_.swap(parsed);
    return n;
}

// ----------------------------------------------------------------- MarkupTag

MarkupTag::MarkupTag(const MarkupTag& other) : name(other.name) {
    if (const MarkupAttributeList* list = other.attributes()) {
        attributes_ = std::make_unique<MarkupAttributeList>(*list);
        hasAttributes_ = true;
    }
}

MarkupTag& MarkupTag::operator=(const MarkupTag& other) {
    if (this != &other) {
        MarkupTag copy(other);
        name.swap(copy.name);
        attributes_.swap(copy.attributes_);
        hasAttributes_ = copy.hasAttributes_;
        listMade_ = true;
        attributesStart_ = nullptr;
        attributesLength_ = 0;
        inputEnd_ = nullptr;
    }
    return *this;
}

MarkupTag::~MarkupTag() = default;

const MarkupAttributeList* MarkupTag::attributes() const {
    if (!hasAttributes_) return nullptr;
    if (!listMade_) {
        if (!attributes_) attributes_ = std::make_unique<MarkupAttributeList>();
        attributes_->Clear();
        // The same bytes give the same attributes; every quote of a tag that
        // was read closes inside it, so this stays within the tag.
        MarkupScan scan(attributesStart_, inputEnd_);
        bool unreadable;
        MarkupAttributeList& list = *attributes_;
        WalkAttributes(attributesStart_, scan, false, attributesLength_, unreadable, [&](const AttributeSpan& span) {
            MarkupAttribute a;
            a.Assign(span.name, span.nameLength, span.value, span.valueLength);
            list.Add(std::move(a));
        });
        listMade_ = true;
    }
    return attributes_.get();
}

std::size_t MarkupTag::Parse(const char* p, bool& isStart, bool& isEnd, bool withAttributes) {
    if (p == nullptr) return 0;
    MarkupScan scan(p, p + std::strlen(p));
    const std::size_t n = Parse(p, isStart, isEnd, withAttributes, scan);
    if (n > 0) attributes();  // the caller's text need not outlive this call
    return n;
}

std::size_t MarkupTag::Parse(const char* p, bool& isStart, bool& isEnd, bool withAttributes, MarkupScan& scan) {
    const char* const end = scan.end();
    const char* q = SkipSpace(p, end);
    if (q >= end || *q != '<') return 0;
    ++q;
    if (q < end && *q == '>') {
        name.clear();
        hasAttributes_ = false;
        isStart = false;
        isEnd = false;
        return static_cast<std::size_t>(q + 1 - p);
    }
    bool start;
    if (q < end && IsLetter(*q)) {
        start = true;
    } else if (q < end && *q == '/') {
        start = false;
        ++q;
    } else {
        return 0;
    }
    const char* const nameStart = q;
    while (q < end && IsNameChar(*q)) ++q;
    const char* const nameEnd = q;
    if (q < end && !(IsSpace(*q) || *q == '>' || (start && *q == '/'))) return 0;

    if (!start || (q < end && *q == '>')) {
        if (q >= end || *q != '>') return 0;  // an end tag takes no blank and no attribute
        name.assign(nameStart, nameEnd);
        hasAttributes_ = false;
        isStart = start;
        isEnd = !start;
        return static_cast<std::size_t>(q + 1 - p);
    }

    const char* const s = SkipSpace(q, end);
    std::size_t n = 0;
    bool unreadable = false;
    if (withAttributes) n = WalkAttributes(s, scan, true, kNoLimit, unreadable, [](const AttributeSpan&) {});
    const char* e;
    if (unreadable) {
        e = nullptr;
    } else if (n > 0) {
        e = SkipSpace(s + n, end);
        if (e >= end) e = nullptr;
    } else {
        // Not limited to this tag: with unreadable attributes everything up
        // to the next "/>" of the document belongs to it.
        e = scan.FindPair('/', '>', s);
        if (e == end) e = scan.Find('>', s);
        if (e == end) return 0;
    }
    bool selfClosing = false;
    if (e != nullptr && *e == '/') {
        selfClosing = true;
        ++e;
    }
    if (e == nullptr || e >= end || *e != '>') {
        if (n > 0) {
            bool ignored;
            WalkAttributes(s, scan, false, n, ignored, [&](const AttributeSpan& span) { scan.MarkUnreadable(span.name); });
        }
        return 0;
    }

    name.assign(nameStart, nameEnd);
    hasAttributes_ = n > 0;
    listMade_ = !hasAttributes_;
    attributesStart_ = s;
    attributesLength_ = n;
    inputEnd_ = end;
    isStart = true;
    isEnd = selfClosing;
    return static_cast<std::size_t>(e + 1 - p);
}

// ------------------------------------------------------------- MarkupHandler

void MarkupHandler::OnDocumentStart(void*, bool& stop) { stop = false; }
void MarkupHandler::OnStartTag(MarkupTag&, void*, bool& stop) { stop = false; }
void MarkupHandler::OnEndTag(MarkupTag&, void*, bool& stop) { stop = false; }
void MarkupHandler::OnText(std::string&, void*, bool& stop) { stop = false; }
void MarkupHandler::OnComment(std::string&, void*, bool& stop) { stop = false; }
void MarkupHandler::OnDocumentEnd(void*, bool) {}
MarkupHandler::~MarkupHandler() = default;

// -------------------------------------------------------------- MarkupParser

// Ties the search memory to one ParseDocument run, and clears the input on
// every way out of it, an exception from a handler included.
class MarkupParser::ActiveScan {
public:
    explicit ActiveScan(MarkupParser& parser) : parser_(parser), scan_(parser.input, parser.input + parser.length) {
        parser_.activeScan_ = &scan_;
    }
    ~ActiveScan() {
        parser_.activeScan_ = nullptr;
        parser_.input = nullptr;
        parser_.length = 0;
    }
    ActiveScan(const ActiveScan&) = delete;
    ActiveScan& operator=(const ActiveScan&) = delete;

private:
    MarkupParser& parser_;
    MarkupScan scan_;
};

std::size_t MarkupParser::Parse(const char* text) {
    length = text != nullptr ? std::strlen(text) : 0;
    if (length == 0) return 0;
    input = text;
    return ParseDocument();
}

std::size_t MarkupParser::ParseDocument() {
    if (input == nullptr || length == 0) return 0;
    ActiveScan active(*this);
    position = 0;
    bool stop = false;
    MarkupTag tag;
    if (Notifies(NotifyDocument)) handler->OnDocumentStart(userData, stop);
    if (!stop) RunDocument(tag, stop);
    if (Notifies(NotifyDocument)) handler->OnDocumentEnd(userData, stop);
    return position;
}

bool MarkupParser::RunDocument(MarkupTag& tag, bool& stop) {
    const char* const in = input;
    const char* const end = input + length;
    MarkupScan& scan = *activeScan_;
    std::string pending;
    std::string comment;

    while (position < length && IsSpace(in[position])) ++position;
    std::size_t runStart = position;
    // Once no ";" is left, no "&" can start a reference and the scan of
    // plain text looks for "<" alone.
    bool ampersands = decodeEntities;

    for (;;) {
        position = static_cast<std::size_t>(FindMarkupByte(in + position, end, ampersands) - in);
        if (position >= length) break;
        const std::size_t at = position;

        if (in[at] == '&') {
            const char* semicolon = scan.Find(';', in + at);
            if (semicolon == end) ampersands = false;
            if (semicolon != end) {
                unsigned char b;
                const std::size_t n = DecodeCharReference(in + at, semicolon, b);
                if (n > 0) {
                    pending.append(in + runStart, at - runStart);
                    pending.push_back(static_cast<char>(b));
                    position = at + n;
                    runStart = position;
                    continue;
                }
            }
            position = at + 1;
            continue;
        }

        comment.clear();
        bool isStart = false, isEnd = false;
        const bool isComment = ParseComment(comment);
        bool isTag = false;
        if (!isComment) {
            isStart = false;
            isEnd = false;
            isTag = ParseTag(tag, isStart, isEnd);
        }
        if (!isComment && !isTag) {
            position = at + 1;
            continue;
        }

        if (at > runStart || !pending.empty()) {
            pending.append(in + runStart, at - runStart);
            FilterText(pending);
            if (!pending.empty() && Notifies(NotifyText)) {
                stop = false;
                handler->OnText(pending, userData, stop);
                if (stop) return true;
            }
            pending.clear();
        }
        runStart = position;

        if (isComment) {
            if (!comment.empty() && Notifies(NotifyComment)) {
                stop = false;
                handler->OnComment(comment, userData, stop);
                if (stop) return true;
            }
            continue;
        }
        if (isStart && Notifies(NotifyStartTag)) {
            stop = false;
            handler->OnStartTag(tag, userData, stop);
            if (stop) return true;
        }
        if (isEnd && Notifies(NotifyEndTag)) {
            stop = false;
            handler->OnEndTag(tag, userData, stop);
            if (stop) return true;
        }
    }

    position = length;
    if (length > runStart || !pending.empty()) {
        pending.append(in + runStart, length - runStart);
        FilterText(pending);
        // Only the last piece of text is trimmed, and only at its end.
        std::size_t keep = pending.size();
        while (keep > 0 && IsSpace(pending[keep - 1])) --keep;
        pending.resize(keep);
        if (!pending.empty() && Notifies(NotifyText)) {
            stop = false;
            handler->OnText(pending, userData, stop);
        }
    }
    return stop;
}

bool MarkupParser::ParseComment(std::string& comment) {
    if (input == nullptr || position >= length) return false;
    if (length - position < 4 || std::memcmp(input + position, "<!--", 4) != 0) return false;
    if (activeScan_ == nullptr) {
        // Called on its own, outside a parse: search memory for this call only.
        MarkupScan local(input, input + length);
        struct Lend {
            MarkupScan*& slot;
            ~Lend() { slot = nullptr; }
        } lend{activeScan_};
        activeScan_ = &local;
        return ParseComment(comment);
    }
    MarkupScan& scan = *activeScan_;
    const char* const end = input + length;
    const char* const body = input + position + 4;
    const char* const dashes = scan.FindPair('-', '-', body);
    if (dashes == end) {
        comment.assign(body, end);
        position = length;
        return true;
    }
    const char* k = dashes + 2;
    if (k >= end) return false;
    k = SkipSpace(k, end);
    if (k >= end || *k != '>') return false;
    comment.assign(body, dashes);
    position = static_cast<std::size_t>(k + 1 - input);
    return true;
}

bool MarkupParser::ParseTag(MarkupTag& tag, bool& isStart, bool& isEnd) {
    if (input == nullptr || position >= length) return false;
    std::size_t n;
    if (activeScan_ != nullptr) {
        n = tag.Parse(input + position, isStart, isEnd, true, *activeScan_);
    } else {
        MarkupScan local(input, input + length);
        n = tag.Parse(input + position, isStart, isEnd, true, local);
    }
    if (n == 0) return false;
    position += n;
    return true;
}

void MarkupParser::FilterText(std::string&) {}
