// The reply tokenizer, token by token, on the shapes of text the printer
// sends and the library's own query text.
#include "pjl/pjl_scanner.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using namespace patprn;

// Every token of the first `length` bytes of `text`, as "text/kind" joined
// by "|" (LF, TAB, FF shown as \n, \t, \f; "!" marks result 13), up to the
// first end token with result 0, copied into 33-byte buffers as the
// handlers copy them.
std::string Walk(const char *text, size_t length) {
    PjlScanner scanner;
    PjlScannerInit(&scanner, text, length);
    std::string out;
    for (int i = 0; i < 500; ++i) {
        PjlToken read;
        const uint32_t result = PjlScanNext(&scanner, &read);
        char token[33];
        PjlTokenCopy(&read, token, sizeof token);
        const int32_t kind = read.kind;
        std::string shown;
        for (const char *c = token; *c != '\0'; ++c) shown += *c == '\n' ? "\\n" : *c == '\t' ? "\\t" : *c == '\f' ? "\\f" : std::string(1, *c);
        out += (out.empty() ? "" : "|") + shown + "/" + std::to_string(kind) + (result == 13 ? "!" : "");
        if (kind == PJL_TOK_END && result == 0) return out;
    }
    return out + "|(no end)";
}
std::string Walk(const std::string &text) { return Walk(text.c_str(), text.size() + 1); }

TEST(PjlScanNext, RepliesTokenByToken) {
    struct Case {
        const char *text;
        const char *tokens;
    } cases[] = {
        {"@PJL INFO CONFIG\r\nIN TRAYS [2 ENUMERATED]\r\n\tINTRAY1\r\n\tINTRAYMANUAL\r\nDUPLEX\r\n\f",
         "@PJL/1|INFO/2|CONFIG/4|\\n/3|IN TRAYS/8|2/10|ENUMERATED/11|\\n/3|\\t/15|INTRAY1/12|\\n/3|\\t/15|"
         "INTRAYMANUAL/12|\\n/3|DUPLEX/8|\\n/3|\\f/14|/255"},
        {"@PJL INQUIRE INTRAY1SIZE\r\nLETTER\r\n\f", "@PJL/1|INQUIRE/2|INTRAY1SIZE/4|\\n/3|LETTER/8|\\n/3|\\f/14|/255"},
        {"", "/255"},
        {"READY\r\n\f", "/255"},
        {"@PJL\r\n@PJL INFO CONFIG\r\n", "@PJL/1|\\n/3|@PJL/1|INFO/2|CONFIG/4|\\n/3|/255!|/255"},
        {"@PJL INFO CONFIG\r\nMEMORY=8388608\r\n\tINTRAY1=LOCKED\r\n\f",
         "@PJL/1|INFO/2|CONFIG/4|\\n/3|MEMORY/8|8388608/9|\\n/3|\\t/15|INTRAY1/12|LOCKED/13|\\n/3|\\f/14|/255"},
        {"@PJL INFO TOLV\r\nOTHER=\"A B\r\n\"\r\n\f", "@PJL/1|INFO/2|TOLV/4|\\n/3|OTHER/8|A B\r\\n/9|\\n/3|\\f/14|/255"},
        {"@PJL INQUIRE LPARM : PCL X\r\nI\r\n\f@PJL SET COPIES = 2\r\n",
         "@PJL/1|INQUIRE/2|LPARM/5|PCL/6|X/4|\\n/3|I/8|\\n/3|\\f/14|@PJL/1|SET/2|COPIES/4|2/7|\\n/3|/255!|/255"},
        // The query text: each command line ends at the next "@" or ESC.
        {"\x1B%-12345X@PJL\r\n@PJL INFO CONFIG\r\n@PJL INFO OUTBINSTATUS\r\n\x1B%-12345X",
         "@PJL/1|\\n/3|@PJL/1|INFO/2|CONFIG/4|\\n/3|@PJL/1|INFO/2|OUTBINSTATUS/4|\\n/3|/255"},
        // Malformed: a body line that is only "]", a reply without a value
        // line; the next call looks for "@PJL" from there.
        {"@PJL INFO CONFIG\r\n]\r\nDUPLEX\r\n\f@PJL INQUIRE INTRAY1\r\nLOCKED\r\n\f",
         "@PJL/1|INFO/2|CONFIG/4|\\n/3|/8!|@PJL/1|INQUIRE/2|INTRAY1/4|\\n/3|LOCKED/8|\\n/3|\\f/14|/255"},
        {"@PJL INQUIRE INTRAY2SIZE\r\n\f@PJL INFO X\r\nY\r\n\f",
         "@PJL/1|INQUIRE/2|INTRAY2SIZE/4|\\n/3|\\f/14!|@PJL/1|INFO/2|X/4|\\n/3|Y/8|\\n/3|\\f/14|/255"},
        // An empty bracket word before ":" would otherwise be read for ever.
        {"@PJL INFO CONFIG\r\nVERSION [3 :]\r\n\f", "@PJL/1|INFO/2|CONFIG/4|\\n/3|VERSION/8|3/10|/11!|/255"},
        {"@PJL INFO CONFIG\r\nVERSION [=\r\n\f", "@PJL/1|INFO/2|CONFIG/4|\\n/3|VERSION/8|/10|/11!|/255"},
        // A 40-character word is cut to 32; the next token follows the whole word.
        {"@PJL INQUIRE AAAAAAAAAABBBBBBBBBBCCCCCCCCCCDDDDDDDDDD X\r\n",
         "@PJL/1|INQUIRE/2|AAAAAAAAAABBBBBBBBBBCCCCCCCCCCDD/4|X/3|\\n/3!|/255"},
    };
    for (const Case &c : cases) EXPECT_EQ(Walk(c.text), c.tokens) << c.text;
}

TEST(PjlScanNext, TextEndsWithItsNodeWithoutTerminator) {
    // Only 22 bytes belong to the text: the heading ends with them.
    const char reply[] = "@PJL INFO CONFIG\r\nDISKDUPLEX\r\n\f";
    char *node = new char[22];
    std::memcpy(node, reply, 22);
    EXPECT_EQ(Walk(node, 22), "@PJL/1|INFO/2|CONFIG/4|\\n/3|DISK/8!|/255");
    delete[] node;
}

}  // namespace
