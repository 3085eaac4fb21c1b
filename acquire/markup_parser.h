#pragma once
// The saver's own forgiving HTML tokenizer. It walks a page once and reports
// comments, start tags, end tags and the text between them, in document order,
// to a MarkupHandler. It builds no tree and never fails: whatever cannot be
// read as markup is text.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class MarkupScan;

class MarkupAttribute {
public:
    MarkupAttribute() = default;
    // value is stored as given, already decoded.
    MarkupAttribute(std::string name, std::string value);

    const std::string& name() const { return name_; }
    // A value read from markup is decoded here, the first time it is read:
    // the replace-all of SetValue is costly on long values full of
    // references, and a handler that never looks at attributes should not pay
    // for it.
    const std::string& value() const;

    // One attribute at p (white space first, then a name, then optionally "="
    // and a value). Returns its length from p, or 0 when p holds none; on 0
    // the attribute is left as it was. The first form takes p's NUL as the end
    // of the input.
    std::size_t Parse(const char* p);
    std::size_t Parse(const char* p, MarkupScan& scan);

    // Trims, deletes LF, turns CR and TAB into blanks and decodes references.
    void SetValue(const std::string& raw);
    // Keeps raw as it is and runs SetValue on the first value().
    void SetRawValue(std::string raw);
    // What SetValue stores for raw.
    static std::string DecodeValue(std::string raw);

private:
    friend class MarkupTag;
    friend class MarkupAttributeList;
    void Assign(const char* name, std::size_t nameLength, const char* raw, std::size_t rawLength);

    std::string name_;
    mutable std::string value_;
    mutable bool undecoded_ = false;
};

class MarkupAttributeList {
public:
    MarkupAttributeList() = default;
    MarkupAttributeList(const MarkupAttributeList&) = default;
    MarkupAttributeList& operator=(const MarkupAttributeList&) = default;
    virtual ~MarkupAttributeList();

    std::size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    const MarkupAttribute& operator[](std::size_t i) const { return items_[i]; }
    const MarkupAttribute& at(std::size_t i) const { return items_.at(i); }
    std::vector<MarkupAttribute>::const_iterator begin() const { return items_.begin(); }
    std::vector<MarkupAttribute>::const_iterator end() const { return items_.end(); }

    void Add(MarkupAttribute attribute) { items_.push_back(std::move(attribute)); }
    void Clear() { items_.clear(); }

    // The attributes one after the other from p until one fails or the input
    // ends. Returns their total length (white space after the last one not
    // counted) and replaces this list with them, or returns 0 and leaves the
    // list alone when p holds no attribute.
    std::size_t Parse(const char* p);
    std::size_t Parse(const char* p, MarkupScan& scan);

private:
    std::vector<MarkupAttribute> items_;
};

class MarkupTag {
public:
    MarkupTag() = default;
    MarkupTag(const MarkupTag& other);
    MarkupTag& operator=(const MarkupTag& other);
    virtual ~MarkupTag();

    std::string name;  // exactly as written; empty for "</>" and "<>"

    // Null when the tag has no attributes. Within a parse the list is made
    // from the input the first time it is asked for, so that a handler that
    // never looks at attributes costs no copy of them; a copy of the tag owns
    // its list outright.
    const MarkupAttributeList* attributes() const;

    // The tag at p (after optional white space, a "<"). Returns its length
    // from p and sets name, attributes, isStart and isEnd; returns 0 and
    // changes nothing when p does not start a tag. The first form takes p's
    // NUL as the end of the input and makes the attribute list at once; the
    // second reads the attributes from the input only when they are asked for
    // while the input is still there, which the tokenizer guarantees for the
    // duration of its callbacks.
    std::size_t Parse(const char* p, bool& isStart, bool& isEnd, bool withAttributes);
    std::size_t Parse(const char* p, bool& isStart, bool& isEnd, bool withAttributes, MarkupScan& scan);

private:
    mutable std::unique_ptr<MarkupAttributeList> attributes_;
    bool hasAttributes_ = false;
    mutable bool listMade_ = true;
    const char* attributesStart_ = nullptr;  // where the attribute list stands in the input
    std::size_t attributesLength_ = 0;
    const char* inputEnd_ = nullptr;
};

// The bounds of one input and what the scanners have learnt about it so far.
// Several searches may look far ahead (an unclosed quote runs to the end, an
// unreadable attribute list looks for the next "/>", a comment for its
// "--"); remembering where each one ended keeps a whole parse linear however
// often the same bytes are asked about. Meant for one pass from the start of
// the input to its end.
class MarkupScan {
public:
    MarkupScan() = default;
    MarkupScan(const char* begin, const char* end) { Reset(begin, end); }
    void Reset(const char* begin, const char* end);

    const char* begin() const { return begin_; }
    const char* end() const { return end_; }

    // First c at or after from, or end().
    const char* Find(char c, const char* from);
    // First "ab" at or after from, or end().
    const char* FindPair(char a, char b, const char* from);

    // A chain of attributes that once reached nameStart and left its tag
    // unreadable leaves every later tag whose attributes reach the same
    // position unreadable too: the rest of the chain is the same bytes.
    bool KnownUnreadable(const char* nameStart) const;
    void MarkUnreadable(const char* nameStart);

private:
    struct Known {
        const char* from = nullptr;   // nothing was searched before this
        const char* found = nullptr;  // first match at or after from
    };
    enum Slot { kDoubleQuote, kSingleQuote, kGreater, kSemicolon, kSlashGreater, kDashDash, kSlots };
    const char* Cached(Slot slot, const char* from, char a, char b);

    const char* begin_ = nullptr;
    const char* end_ = nullptr;
    Known known_[kSlots];
    std::vector<std::uint8_t> unreadable_;  // one bit per input byte, made on first use
};

class MarkupHandler {
public:
    virtual void OnDocumentStart(void* userData, bool& stop);
    virtual void OnStartTag(MarkupTag& tag, void* userData, bool& stop);
    virtual void OnEndTag(MarkupTag& tag, void* userData, bool& stop);
    virtual void OnText(std::string& text, void* userData, bool& stop);
    virtual void OnComment(std::string& comment, void* userData, bool& stop);
    virtual void OnDocumentEnd(void* userData, bool stop);
    virtual ~MarkupHandler() = 0;
};

class MarkupParser {
public:
    static constexpr unsigned NotifyDocument = 0x01;  // OnDocumentStart and OnDocumentEnd
    static constexpr unsigned NotifyStartTag = 0x02;
    static constexpr unsigned NotifyEndTag = 0x04;
    static constexpr unsigned NotifyText = 0x08;
    static constexpr unsigned NotifyComment = 0x10;
    static constexpr unsigned NotifyAll = 0x1f;

    virtual ~MarkupParser() = default;

    bool decodeEntities = true;  // in text; attribute values are always decoded
    void* userData = nullptr;    // handed unchanged to every callback
    std::size_t position = 0;    // index of the next byte to read
    std::size_t length = 0;      // byte length of input
    unsigned notifyMask = NotifyAll;
    MarkupHandler* handler = nullptr;  // not owned; may be null
    const char* input = nullptr;       // not owned; null outside a parse

    // text is NUL-terminated. Returns the index at which scanning stopped
    // (length when the text was read to its end); 0 at once, without any
    // callback, for an empty text.
    std::size_t Parse(const char* text);

    virtual std::size_t ParseDocument();
    // At position, which holds "<": true with position past the comment and
    // its body in comment, or false with nothing changed.
    virtual bool ParseComment(std::string& comment);
    // At position: true with position past the tag, or false.
    virtual bool ParseTag(MarkupTag& tag, bool& isStart, bool& isEnd);
    // Sees each pending text just before it is tested for emptiness and
    // delivered.
    virtual void FilterText(std::string& text);

private:
    class ActiveScan;
    bool Notifies(unsigned bit) const { return handler != nullptr && (notifyMask & bit) != 0; }
    bool RunDocument(MarkupTag& tag, bool& stop);

    // What the scanners have learnt about input; set only while ParseDocument
    // runs, so that a direct call of ParseComment or ParseTag starts afresh.
    MarkupScan* activeScan_ = nullptr;
};
