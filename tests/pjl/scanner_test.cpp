// The reply tokenizer, token by token, on the reply shapes the printer sends.
#include "pjl/pjl_scanner.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace patprn;

struct Token {
    std::string text;
    int32_t kind;
    uint32_t result;
    bool operator==(const Token &) const = default;
};

std::ostream &operator<<(std::ostream &out, const Token &t) {
    std::string shown;
    for (char c : t.text) shown += (c == '\n') ? std::string("\\n") : (c == '\t') ? "\\t" : (c == '\f') ? "\\f" : std::string(1, c);
    return out << "{\"" << shown << "\", " << t.kind << ", " << t.result << "}";
}

// Every token of `text` up to and including the first end token delivered
// with result 0, with a 33-byte buffer as the reply handlers use.
std::vector<Token> Walk(const std::string &text, size_t limit = 200) {
    PjlScanner scanner;
    PjlScannerInit(&scanner, text.data(), text.size());
    std::vector<Token> tokens;
    for (size_t i = 0; i < limit; ++i) {
        char buffer[33];
        int32_t kind = 0;
        const uint32_t result = PjlScanNext(&scanner, buffer, sizeof buffer, &kind);
        tokens.push_back({buffer, kind, result});
        if (kind == PJL_TOK_END && result == 0) break;
    }
    return tokens;
}

TEST(PjlScanNext, ConfigReplyWithTrayList) {
    const std::vector<Token> expected = {
        {"@PJL", 1, 0},  {"INFO", 2, 0},       {"CONFIG", 4, 0},  {"\n", 3, 0},      {"IN TRAYS", 8, 0},
        {"2", 10, 0},    {"ENUMERATED", 11, 0}, {"\n", 3, 0},     {"\t", 15, 0},     {"INTRAY1", 12, 0},
        {"\n", 3, 0},    {"\t", 15, 0},        {"INTRAYMANUAL", 12, 0}, {"\n", 3, 0}, {"DUPLEX", 8, 0},
        {"\n", 3, 0},    {"\f", 14, 0},        {"", 255, 0},
    };
    EXPECT_EQ(Walk("@PJL INFO CONFIG\r\nIN TRAYS [2 ENUMERATED]\r\n\tINTRAY1\r\n\tINTRAYMANUAL\r\nDUPLEX\r\n\f"),
              expected);
}

TEST(PjlScanNext, InquiryReply) {
    const std::vector<Token> expected = {
        {"@PJL", 1, 0}, {"INQUIRE", 2, 0}, {"INTRAY1SIZE", 4, 0}, {"\n", 3, 0},
        {"LETTER", 8, 0}, {"\n", 3, 0},    {"\f", 14, 0},         {"", 255, 0},
    };
    EXPECT_EQ(Walk("@PJL INQUIRE INTRAY1SIZE\r\nLETTER\r\n\f"), expected);
}

TEST(PjlScanNext, TextWithoutCommandLineEndsAtOnce) {
    EXPECT_EQ(Walk(""), (std::vector<Token>{{"", 255, 0}}));
    EXPECT_EQ(Walk("READY\r\n\f"), (std::vector<Token>{{"", 255, 0}}));
}

TEST(PjlScanNext, EmptyCommandLineThenTextEndingInsideReply) {
    const std::vector<Token> expected = {
        {"@PJL", 1, 0}, {"\n", 3, 0},     {"@PJL", 1, 0}, {"INFO", 2, 0},
        {"CONFIG", 4, 0}, {"\n", 3, 0},   {"", 255, 13},  {"", 255, 0},
    };
    EXPECT_EQ(Walk("@PJL\r\n@PJL INFO CONFIG\r\n"), expected);
}

TEST(PjlScanNext, BodyLineShapes) {
    // A heading keeps its inner blank and loses the one before the bracket.
    auto tokens = Walk("@PJL INFO CONFIG\r\nIN TRAYS [3 ENUMERATED]\r\n\f");
    ASSERT_GE(tokens.size(), 7u);
    EXPECT_EQ(tokens[4], (Token{"IN TRAYS", 8, 0}));
    EXPECT_EQ(tokens[5], (Token{"3", 10, 0}));
    EXPECT_EQ(tokens[6], (Token{"ENUMERATED", 11, 0}));

    tokens = Walk("@PJL INFO CONFIG\r\nMEMORY=8388608\r\n\f");
    EXPECT_EQ(tokens[4], (Token{"MEMORY", 8, 0}));
    EXPECT_EQ(tokens[5], (Token{"8388608", 9, 0}));

    tokens = Walk("@PJL INFO CONFIG\r\nVERSION [1 ENUMERATED]\r\n\tINTRAY1=LOCKED\r\n\f");
    EXPECT_EQ(tokens[9], (Token{"INTRAY1", 12, 0}));
    EXPECT_EQ(tokens[10], (Token{"LOCKED", 13, 0}));
    EXPECT_EQ(tokens.back(), (Token{"", 255, 0}));
}

TEST(PjlScanNext, CommandLineLabelsAndAssignments) {
    const std::vector<Token> expected = {
        {"@PJL", 1, 0},   {"INQUIRE", 2, 0}, {"LPARM", 5, 0}, {"PCL", 6, 0}, {"FONTSOURCE", 4, 0},
        {"\n", 3, 0},     {"I", 8, 0},       {"\n", 3, 0},    {"\f", 14, 0}, {"@PJL", 1, 0},
        {"SET", 2, 0},    {"COPIES", 4, 0},  {"2", 7, 0},     {"\n", 3, 0},  {"", 255, 13},
        {"", 255, 0},
    };
    EXPECT_EQ(Walk("@PJL INQUIRE LPARM : PCL FONTSOURCE\r\nI\r\n\f@PJL SET COPIES = 2\r\n"), expected);
}

TEST(PjlScanNext, QuotedTokenKeepsBlanksAndLineEnds) {
    auto tokens = Walk("@PJL INFO TOLV\r\nOTHER=\"A B\"\r\n\f");
    EXPECT_EQ(tokens[5], (Token{"A B", 9, 0}));
    tokens = Walk("@PJL INFO TOLV\r\nOTHER=\"A\r\nB\"\r\n\f");
    EXPECT_EQ(tokens[5], (Token{"A\r\nB", 9, 0}));
    EXPECT_EQ(tokens.back(), (Token{"", 255, 0}));
}

TEST(PjlScanNext, LongWordIsCutAndSkippedWhole) {
    const std::string word(40, 'W');
    auto tokens = Walk("@PJL INQUIRE " + word + " X\r\n");
    EXPECT_EQ(tokens[2], (Token{std::string(32, 'W'), 4, 0}));
    EXPECT_EQ(tokens[3], (Token{"X", 3, 0})) << "the next token starts after the whole word";
}

TEST(PjlScanNext, ErrorsResynchroniseOnTheNextCommandLine) {
    // A body line that is only "]" gives an empty heading and result 13;
    // the next call looks for "@PJL" from there.
    const std::vector<Token> expected = {
        {"@PJL", 1, 0},    {"INFO", 2, 0},        {"CONFIG", 4, 0}, {"\n", 3, 0},      {"", 8, 13},
        {"@PJL", 1, 0},    {"INQUIRE", 2, 0},     {"INTRAY1", 4, 0}, {"\n", 3, 0},     {"LOCKED", 8, 0},
        {"\n", 3, 0},      {"\f", 14, 0},         {"", 255, 0},
    };
    EXPECT_EQ(Walk("@PJL INFO CONFIG\r\n]\r\nDUPLEX\r\n\f@PJL INQUIRE INTRAY1\r\nLOCKED\r\n\f"), expected);
}

TEST(PjlScanNext, EmptyReplyBodyIsMalformed) {
    auto tokens = Walk("@PJL INQUIRE INTRAY2SIZE\r\n\f@PJL INQUIRE INTRAY1\r\nLOCKED\r\n\f");
    EXPECT_EQ(tokens[4], (Token{"\f", 14, 13}));
    EXPECT_EQ(tokens[5], (Token{"@PJL", 1, 0}));
    EXPECT_EQ(tokens.back(), (Token{"", 255, 0}));
}

TEST(PjlScanNext, QueryTextEndsEachCommandAtTheNextLineOrEscape) {
    const std::vector<Token> expected = {
        {"@PJL", 1, 0}, {"\n", 3, 0},           {"@PJL", 1, 0}, {"INFO", 2, 0}, {"CONFIG", 4, 0}, {"\n", 3, 0},
        {"@PJL", 1, 0}, {"INFO", 2, 0},         {"OUTBINSTATUS", 4, 0}, {"\n", 3, 0}, {"", 255, 0},
    };
    EXPECT_EQ(Walk("\x1B%-12345X@PJL\r\n@PJL INFO CONFIG\r\n@PJL INFO OUTBINSTATUS\r\n\x1B%-12345X"), expected);
}

TEST(PjlScanNext, EmptyBracketWordBeforeDelimiterEndsInsteadOfLooping) {
    // "[3 :" would otherwise read an empty word before ":" for ever.
    for (const char *line : {"VERSION [3 :]\r\n\f", "VERSION [3 =]\r\n\f", "VERSION [=\r\n\f", "VERSION [3 [\r\n\f"}) {
        auto tokens = Walk(std::string("@PJL INFO CONFIG\r\n") + line);
        ASSERT_LT(tokens.size(), 200u) << line;
        EXPECT_EQ(tokens.back(), (Token{"", 255, 0})) << line;
        bool sawError = false;
        for (const Token &t : tokens) sawError = sawError || t.result == 13;
        EXPECT_TRUE(sawError) << line;
    }
}

TEST(PjlScanNext, EndStaysTheEnd) {
    PjlScanner scanner;
    const std::string text = "@PJL INFO";
    PjlScannerInit(&scanner, text.data(), text.size());
    char buffer[33];
    int32_t kind = 0;
    EXPECT_EQ(PjlScanNext(&scanner, buffer, sizeof buffer, &kind), 0u);
    EXPECT_EQ(PjlScanNext(&scanner, buffer, sizeof buffer, &kind), 0u);
    EXPECT_EQ(kind, PJL_TOK_COMMAND);
    EXPECT_EQ(PjlScanNext(&scanner, buffer, sizeof buffer, &kind), 13u);
    EXPECT_EQ(kind, PJL_TOK_END);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(PjlScanNext(&scanner, buffer, sizeof buffer, &kind), 0u);
        EXPECT_EQ(kind, PJL_TOK_END);
        EXPECT_STREQ(buffer, "");
    }
}

TEST(PjlScannerInit, TextEndsAtItsLengthWithoutTerminator) {
    // Only the first 22 bytes belong to the text; "DUPLEX" lies beyond it.
    const char bytes[] = "@PJL INFO CONFIG\r\nDISKDUPLEX\r\n\f";
    auto *copy = new char[22];
    std::memcpy(copy, bytes, 22);
    PjlScanner scanner;
    PjlScannerInit(&scanner, copy, 22);
    std::vector<Token> tokens;
    for (int i = 0; i < 20; ++i) {
        char buffer[33];
        int32_t kind = 0;
        const uint32_t result = PjlScanNext(&scanner, buffer, sizeof buffer, &kind);
        tokens.push_back({buffer, kind, result});
        if (kind == PJL_TOK_END && result == 0) break;
    }
    delete[] copy;
    ASSERT_GE(tokens.size(), 5u);
    EXPECT_EQ(tokens[4], (Token{"DISK", 8, 13})) << "the heading ends with the text";
    EXPECT_EQ(tokens.back(), (Token{"", 255, 0}));
}

TEST(PjlScanToken, ControlCharactersCarryTheirOwnKinds) {
    const std::string text = "\n\t\fword";
    PjlScanner scanner;
    PjlScannerInit(&scanner, text.data(), text.size());
    char buffer[33];
    EXPECT_EQ(PjlScanToken(&scanner, buffer, sizeof buffer, PJL_TOK_HEADING), PJL_TOK_EOL);
    EXPECT_EQ(PjlScanToken(&scanner, buffer, sizeof buffer, PJL_TOK_HEADING), PJL_TOK_TAB);
    EXPECT_EQ(PjlScanToken(&scanner, buffer, sizeof buffer, PJL_TOK_EOL), PJL_TOK_FORMFEED);
    EXPECT_EQ(PjlScanToken(&scanner, buffer, sizeof buffer, PJL_TOK_EOL), PJL_TOK_EOL) << "a word takes the kind asked";
    EXPECT_STREQ(buffer, "word");
    EXPECT_EQ(PjlScanToken(&scanner, buffer, sizeof buffer, PJL_TOK_HEADING), PJL_TOK_END);
}

TEST(PjlNumber, LeadingDigitsOnly) {
    EXPECT_EQ(PjlNumber("8388608"), 8388608u);
    EXPECT_EQ(PjlNumber("12abc"), 12u);
    EXPECT_EQ(PjlNumber("abc"), 0u);
    EXPECT_EQ(PjlNumber(""), 0u);
    EXPECT_EQ(PjlNumber("4294967296"), 4294967296u);
}

}  // namespace
