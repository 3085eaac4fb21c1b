// scorvane tokens: the tokenizer's events, one a line.
#include <cstdio>
#include <string>

#include "acquire/markup_parser.h"
#include "tools/tool_command.h"
#include "tools/tool_util.h"

namespace {

const char kUsage[] =
    "usage: scorvane tokens [--no-decode] [FILE|-]\n"
    "\n"
    "Prints the tokenizer's events for the raw input (standard input without\n"
    "FILE or with -; no CR or LF removed), one a line:\n"
    "  document-start\n"
    "  start NAME ATTR=\"VALUE\" ...   (attributes in source order)\n"
    "  end NAME\n"
    "  text \"...\"\n"
    "  comment \"...\"\n"
    "  document-end\n"
    "Inside quotes: \\\\, \\\", \\t, \\n, \\r, and \\xHH for every other byte\n"
    "below 0x20 or from 0x7F up (the exact bytes). An empty input gives no\n"
    "event at all.\n"
    "  --no-decode  leave character references in text as written\n"
    "               (attribute values are always decoded)\n";

class EventPrinter : public MarkupHandler {
public:
    explicit EventPrinter(std::FILE* out) : out_(out) {}
    void OnDocumentStart(void*, bool& stop) override {
        stop = false;
        Line("document-start");
    }
    void OnStartTag(MarkupTag& tag, void*, bool& stop) override {
        stop = false;
        std::string line = "start " + EscapeForQuotes(tag.name);
        if (const MarkupAttributeList* list = tag.attributes()) {
            for (const MarkupAttribute& a : *list) {
                line += " " + EscapeForQuotes(a.name()) + "=\"" + EscapeForQuotes(a.value()) + "\"";
            }
        }
        Line(line);
    }
    void OnEndTag(MarkupTag& tag, void*, bool& stop) override {
        stop = false;
        Line("end " + EscapeForQuotes(tag.name));
    }
    void OnText(std::string& text, void*, bool& stop) override {
        stop = false;
        Line("text \"" + EscapeForQuotes(text) + "\"");
    }
    void OnComment(std::string& comment, void*, bool& stop) override {
        stop = false;
        Line("comment \"" + EscapeForQuotes(comment) + "\"");
    }
    void OnDocumentEnd(void*, bool) override { Line("document-end"); }

private:
    void Line(const std::string& text) {
        std::fwrite(text.data(), 1, text.size(), out_);
        std::fputc('\n', out_);
    }
    std::FILE* out_;
};

int RunTokens(int argc, char** argv) {
    ToolArgs args;
    if (const int status = ParseCommandLine(args, "tokens", argc, argv, {{"--no-decode", false}}, kUsage); status >= 0)
        return status;
    std::string error;
    if (args.Operands().size() > 1) {
        PrintError("tokens", "more than one input given");
        return kExitUsage;
    }
    std::string input;
    if (!ReadInput(args.Operands().empty() ? "-" : args.Operands()[0], input, error)) {
        PrintError("tokens", error);
        return kExitFailure;
    }
    EventPrinter printer(stdout);
    MarkupParser parser;
    parser.decodeEntities = !args.Has("--no-decode");
    parser.notifyMask = MarkupParser::NotifyAll;
    parser.handler = &printer;
    try {
        parser.Parse(input.c_str());
    } catch (const std::bad_alloc&) {
        PrintError("tokens", "out of memory");
        return kExitFailure;
    }
    return 0;
}

}  // namespace

SCORVANE_TOOL_COMMAND(tokens, "tokens", "print the markup tokenizer's events for an input", RunTokens);
