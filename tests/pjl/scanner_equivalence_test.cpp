// The tokenizer reads many characters at a time, reads tokens ahead and
// replays what the coverage check read; whichever way a walk goes, it must
// hand out exactly the tokens of the one-character-at-a-time model, on
// printer-like texts, broken ones and plain noise.
#include "pjl/reply_interpretation.h"
#include "pjl/scanner_reference.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace patprn;

// One token as a walk handed it out; `text` as an offset into the text so
// that walks over copies of a text compare.
struct Seen {
    ptrdiff_t offset;
    uint32_t length;
    uint32_t whole;
    int32_t kind;
    uint32_t result;
    bool operator==(const Seen &) const = default;
};

// Offsets of tokens in constant storage ("@PJL", the end) do not depend on
// the text: only their characters are compared.
Seen Saw(const char *base, size_t size, const PjlToken &token, uint32_t result) {
    const bool inText = token.text >= base && token.text <= base + size;
    return {inText ? token.text - base : -1, token.length, token.whole, token.kind, result};
}

bool Finished(const Seen &seen) { return seen.kind == PJL_TOK_END && seen.result == 0; }

constexpr size_t kMostTokens = 200000;

std::vector<Seen> ModelWalk(const char *text, size_t size) {
    PjlScanner scanner;
    PjlScannerInit(&scanner, text, size);
    std::vector<Seen> seen;
    while (seen.size() < kMostTokens) {
        PjlToken token;
        const uint32_t result = reference::ScanNext(&scanner, &token);
        seen.push_back(Saw(text, size, token, result));
        if (Finished(seen.back())) break;
    }
    return seen;
}

// A walk one token at a time; with `readAhead`, reading runs ahead of it.
std::vector<Seen> Walk(const char *text, size_t size, bool readAhead, const PjlTokenLog *log = nullptr) {
    PjlScanner scanner;
    PjlScannerInit(&scanner, text, size);
    PjlScannerReplay(&scanner, log);
    PjlLoggedToken buffer[kPjlReadAhead];
    if (readAhead) PjlScannerReadAhead(&scanner, buffer);
    std::vector<Seen> seen;
    while (seen.size() < kMostTokens) {
        PjlToken token;
        const uint32_t result = PjlScanNext(&scanner, &token);
        seen.push_back(Saw(text, size, token, result));
        if (Finished(seen.back())) break;
    }
    return seen;
}

// A walk in runs of varying length, now and then one token at a time with
// reading ahead (so that a run starts with tokens read ahead); runs of at
// most 64 also mark their category words.
std::vector<Seen> RunWalk(const char *text, size_t size, std::mt19937 &random) {
    PjlScanner scanner;
    PjlScannerInit(&scanner, text, size);
    PjlLoggedToken buffer[kPjlReadAhead];
    PjlScannerReadAhead(&scanner, buffer);
    std::vector<Seen> seen;
    std::vector<PjlLoggedToken> run(97);
    while (seen.size() < kMostTokens) {
        if (random() % 4 == 0) {
            PjlToken token;
            const uint32_t result = PjlScanNext(&scanner, &token);
            seen.push_back(Saw(text, size, token, result));
            if (Finished(seen.back())) break;
            continue;
        }
        const uint32_t capacity = 1 + random() % 97;
        uint64_t categories = ~uint64_t{0};
        const bool marking = capacity <= 64;
        const uint32_t count = PjlScanTokens(&scanner, run.data(), capacity, marking ? &categories : nullptr);
        EXPECT_GE(count, 1u);
        EXPECT_LE(count, capacity);
        for (uint32_t i = 0; i < count; ++i) {
            const bool category = run[i].token.kind == PJL_TOK_CATEGORY && run[i].result == 0;
            if (marking) {
                EXPECT_EQ((categories >> i) & 1, uint64_t{category}) << "token " << i << " of a run";
            }
            seen.push_back(Saw(text, size, run[i].token, run[i].result));
            if (run[i].token.kind == PJL_TOK_END) {
                EXPECT_EQ(i + 1, count) << "the end token is the last of a run";
            }
        }
        if (count == 0 || Finished(seen.back())) break;
    }
    return seen;
}

// Pieces printers and broken printers send, glued at random.
const char *const kPieces[] = {
    "@PJL", "@PJL ", " INFO", " INQUIRE", " CONFIG", " INTRAY1SIZE", "\r\n", "\n", "\r", "\t", "\f", "=", ":", "[",
    "]", "\"", " ", "  ", "IN TRAYS", "[4 ENUMERATED]", "\tINTRAY1", "MEMORY=8388608", "DISPLAY=\"READY\"", "\x1B",
    "%-12345X", "LETTER", "AAAAAAAAAABBBBBBBBBBCCCCCCCCCCDDDDDDDD", "ONE TWO THREE FOUR FIVE SIX SEVEN EIGHT ",
    "@", "P", "\0", "\xFF", "\x80", "@PJL INFO CONFIG\r\nIN TRAYS [2 ENUMERATED]\r\n\tINTRAY1\r\n\tINTRAY2\r\n\f",
    "@PJL INQUIRE INTRAY1\r\nLOCKED\r\n\f", "VERSION [3 :]", "\tFIRMWARE=1.20\r\n",
};

std::string Glued(std::mt19937 &random) {
    std::string text;
    const size_t pieces = random() % 120;
    for (size_t i = 0; i < pieces; ++i) {
        const char *piece = kPieces[random() % std::size(kPieces)];
        if (*piece == '\0') text += '\0';
        else text += piece;
        if (random() % 8 == 0) text += static_cast<char>(random() % 256);  // noise between pieces
    }
    return text;
}

// Every way of walking `text` (held in a block exactly its size, so that a
// read past it is caught) gives the model's tokens.
void ExpectSameTokens(const std::string &text, std::mt19937 &random) {
    const size_t size = text.size();
    std::unique_ptr<char[]> block(new char[size == 0 ? 1 : size]);
    if (size != 0) std::memcpy(block.get(), text.data(), size);
    const char *at = block.get();

    const std::vector<Seen> model = ModelWalk(at, size);
    ASSERT_TRUE(Finished(model.back())) << "the model walk ends";
    EXPECT_EQ(Walk(at, size, false), model) << "one token at a time";
    EXPECT_EQ(Walk(at, size, true), model) << "reading ahead";
    EXPECT_EQ(RunWalk(at, size, random), model) << "in runs";

    // The coverage check logs the tokens it read; a walk replaying the log
    // then reads on where the log ends.
    const std::string query = "@PJL INFO CONFIG\r\n@PJL INQUIRE INTRAY1SIZE\r\n@PJL INQUIRE X\r\n";
    static PjlTokenLog log;
    PjlTokenLogInit(&log);
    ReplyCoverageCheck(query.c_str(), query.size() + 1, at, size, &log);
    EXPECT_EQ(Walk(at, size, true, &log), model) << "replaying the coverage check's tokens";
    EXPECT_EQ(Walk(at, size, false, &log), model) << "replaying, then one token at a time";
}

TEST(PjlTokenizer, AgreesWithTheModelOnGluedTexts) {
    std::mt19937 random(1234);
    for (int round = 0; round < 3000; ++round) {
        const std::string text = Glued(random);
        ExpectSameTokens(text, random);
        if (HasFailure()) {
            ADD_FAILURE() << "round " << round << ", text of " << text.size() << " bytes";
            return;
        }
    }
}

TEST(PjlTokenizer, AgreesWithTheModelOnNoise) {
    std::mt19937 random(99);
    const char alphabet[] = "@PJL \r\n\t\f=:[]\"\x1B" "AZ09";
    for (int round = 0; round < 2000; ++round) {
        std::string text(random() % 300, ' ');
        for (char &c : text) c = random() % 4 == 0 ? static_cast<char>(random() % 256) : alphabet[random() % (sizeof alphabet - 1)];
        ExpectSameTokens(text, random);
        if (HasFailure()) return;
    }
}

// Texts longer than a log: the replaying walk reads on past it.
TEST(PjlTokenizer, AgreesWithTheModelPastTheLog) {
    std::mt19937 random(7);
    std::string text;
    while (text.size() < 64 * 1024) {
        text += "@PJL INFO CONFIG\r\nIN TRAYS [2 ENUMERATED]\r\n\tINTRAY1\r\n\tINTRAY2\r\nMEMORY=8388608\r\n\f";
        text += Glued(random).substr(0, 40);
    }
    ExpectSameTokens(text, random);
}

// The fuzzers' saved inputs, read as reply texts.
TEST(PjlTokenizer, AgreesWithTheModelOnTheFuzzCorpus) {
    std::mt19937 random(5);
    int read = 0;
    for (const auto &entry : std::filesystem::directory_iterator(std::string(PATPRN_SOURCE_DIR) + "/tests/fuzz/corpus/centro_data")) {
        std::ifstream file(entry.path(), std::ios::binary);
        ASSERT_TRUE(file) << entry.path();
        const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        ExpectSameTokens(bytes, random);
        ++read;
    }
    EXPECT_GT(read, 10);
}

}  // namespace
