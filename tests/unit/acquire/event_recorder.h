#pragma once
// Records a parse as one line per event, so that tests compare whole
// sequences byte for byte.

#include <string>
#include <vector>

#include "acquire/markup_parser.h"

inline std::string Quoted(const std::string& s) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default:
            if (c < 0x20 || c >= 0x7F) {
                out += "\\x";
                out += kHex[c >> 4];
                out += kHex[c & 15];
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

class EventRecorder : public MarkupHandler {
public:
    std::vector<std::string> events;
    std::string stopAt;        // the event line whose callback asks to stop
    void* expectedUserData = nullptr;
    bool userDataMismatch = false;
    bool stopWasSetOnEntry = false;

    void OnDocumentStart(void* userData, bool& stop) override { Record("document-start", userData, stop); }
    void OnStartTag(MarkupTag& tag, void* userData, bool& stop) override {
        std::string line = "start " + tag.name;
        if (const MarkupAttributeList* list = tag.attributes())
            for (const MarkupAttribute& a : *list) line += " " + a.name() + "=" + Quoted(a.value());
        Record(line, userData, stop);
    }
    void OnEndTag(MarkupTag& tag, void* userData, bool& stop) override { Record("end " + tag.name, userData, stop); }
    void OnText(std::string& text, void* userData, bool& stop) override { Record("text " + Quoted(text), userData, stop); }
    void OnComment(std::string& comment, void* userData, bool& stop) override {
        Record("comment " + Quoted(comment), userData, stop);
    }
    void OnDocumentEnd(void* userData, bool stop) override {
        events.push_back(stop ? "document-end stopped" : "document-end");
        if (userData != expectedUserData) userDataMismatch = true;
    }

private:
    void Record(const std::string& line, void* userData, bool& stop) {
        if (stop) stopWasSetOnEntry = true;
        if (userData != expectedUserData) userDataMismatch = true;
        events.push_back(line);
        if (line == stopAt) stop = true;
    }
};

using Events = std::vector<std::string>;

// The events of one parse with the download's settings, unless told otherwise.
inline Events Tokens(const std::string& input, bool decodeEntities = true) {
    EventRecorder recorder;
    MarkupParser parser;
    parser.decodeEntities = decodeEntities;
    parser.handler = &recorder;
    parser.Parse(input.c_str());
    return recorder.events;
}

// The same without the document events that frame every non-empty parse.
inline Events Inner(const std::string& input, bool decodeEntities = true) {
    Events all = Tokens(input, decodeEntities);
    if (all.size() >= 2 && all.front() == "document-start" && all.back() == "document-end") {
        all.erase(all.begin());
        all.pop_back();
    } else {
        all.insert(all.begin(), "<unframed>");
    }
    return all;
}
