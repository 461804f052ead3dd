// The family's reply keys are dispatched through a plan built at compile
// time (a hash of the key's words, and a filter of the words each place can
// hold); any other table is searched row by row. Both must leave the same
// record for every reply text.
#include "pjl/reply_handlers.h"
#include "pjl/pjl_story.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace patprn;
using namespace std::string_literals;
using pattest::HostRecord;
using pjltest::Describe;

// The family table's rows in another array: the dispatch has no plan for
// it and searches its rows.
std::vector<ReplyKeyRow> SearchedFamilyTable() {
    std::vector<ReplyKeyRow> rows;
    for (const ReplyKeyRow *row = FamilyReplyTable;; ++row) {
        rows.push_back(*row);
        if (row->words[0] == nullptr) return rows;
    }
}

// Every word of both tables, and words close to them, at every place.
const char *const kCommands[] = {"INFO", "INQUIRE", "SET", "INF", "info"};
const char *const kCategories[] = {"CONFIG", "TOLV", "OUTBINSTATUS", "INTRAY1", "INTRAY2", "INTRAY3", "INTRAYMANUAL",
                                   "INTRAY1SIZE", "INTRAYMSIZE", "INTRAY2QUANT", "INTRAY3MEDIA", "INTRAYMMEDIA",
                                   "FRONTCOVERPRINTTRAY", "STATUS", "INTRAY4", "CONFIGX"};
const char *const kHeadings[] = {"IN TRAYS", "VERSION", "MEMORY", "PUNCH", "UPPER", "DUPLEX", "DISK", "PAPER SIZES",
                                 "IN  TRAYS", "LOWER", "MEMORYUSAGE", "OTHER"};
const char *const kItems[] = {"INTRAY1", "INTRAY2", "INTRAY3", "INTRAYMANUAL", "FIRMWARE", "WENK", "POSTSCRIPT",
                              "HOLES2", "LETTER", "INTRAY"};
const char *const kValues[] = {"LOCKED", "READY", "FULL", "A4", "8388608", "1.20", "TRAY2", "HALF", "PLAIN", "X"};

template <size_t N>
const char *Pick(std::mt19937 &random, const char *const (&words)[N]) {
    return words[random() % N];
}

// A command line: the category alone, after a label, with a value, or
// missing.
std::string CommandLine(std::mt19937 &random) {
    std::string text = "@PJL "s + Pick(random, kCommands);
    switch (random() % 6) {
        case 0: text += " "s + Pick(random, kHeadings) + ":"s + Pick(random, kValues) + " " + Pick(random, kCategories); break;
        case 1: text += " "s + Pick(random, kCategories) + "="s + Pick(random, kValues); break;
        case 2: break;
        default: text += " "s + Pick(random, kCategories);
    }
    return text + "\r\n";
}

// A reply: a command line, then body lines of headings, values, bracketed
// counts and item lines, in random shapes; now and then a line the reply
// structure does not allow, or a reply without its form feed.
std::string Reply(std::mt19937 &random) {
    std::string text = CommandLine(random);
    const int lines = static_cast<int>(random() % 5);
    for (int line = 0; line < lines; ++line) {
        switch (random() % 5) {
            case 0: text += Pick(random, kValues) + "\r\n"s; break;
            case 1: text += Pick(random, kHeadings) + "\r\n"s; break;
            case 2: text += Pick(random, kHeadings) + "="s + Pick(random, kValues) + "\r\n"; break;
            case 3: text += random() % 2 == 0 ? ":"s + Pick(random, kItems) + "\r\n" : "\t\t"s + Pick(random, kValues) + "\r\n"; break;
            default: {
                const int items = static_cast<int>(random() % 4);
                text += Pick(random, kHeadings) + " ["s + std::to_string(items) + " ENUMERATED]\r\n";
                for (int i = 0; i < items; ++i) {
                    text += "\t"s + Pick(random, kItems);
                    if (random() % 2 == 0) text += "="s + Pick(random, kValues);
                    text += "\r\n";
                }
            }
        }
    }
    return random() % 8 == 0 ? text : text + "\f";
}

TEST(ReplyDispatch, PlanAndRowSearchLeaveTheSameRecord) {
    const std::vector<ReplyKeyRow> searched = SearchedFamilyTable();
    std::mt19937 random(2024);
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        const int replies = 1 + static_cast<int>(random() % 6);
        for (int r = 0; r < replies; ++r) text += Reply(random);
        HostRecord planned, rowByRow;
        const uint32_t viaPlan = ReplyDispatch(planned.get(), FamilyReplyTable, text.c_str(), text.size() + 1);
        const uint32_t viaSearch = ReplyDispatch(rowByRow.get(), searched.data(), text.c_str(), text.size() + 1);
        ASSERT_EQ(viaPlan, viaSearch) << text;
        ASSERT_EQ(Describe(planned.get()), Describe(rowByRow.get())) << text;
    }
}

}  // namespace
