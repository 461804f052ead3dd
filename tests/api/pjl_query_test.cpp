// What a host is told to ask the printer, through the real library.
#include "patprn/patprn.h"
#include "pjl/pjl_story.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

using pattest::HostRecord;

const std::string kOpen = "\x1B%-12345X@PJL\r\n", kClose = "\x1B%-12345X";
const std::string kConfig = "@PJL INFO CONFIG\r\n", kFront = "@PJL INQUIRE FRONTCOVERPRINTTRAY\r\n";
const std::string kBins = "@PJL INFO OUTBINSTATUS\r\n";
std::string Tray(const char *n) {
    const std::string q = std::string("@PJL INQUIRE INTRAY") + n;
    return q + "SIZE\r\n" + q + "QUANT\r\n" + q + "MEDIA\r\n" + q + "\r\n";
}
const std::string kMulti = "@PJL INQUIRE INTRAYMSIZE\r\n@PJL INQUIRE INTRAYMMEDIA\r\n@PJL INQUIRE INTRAYMULTI\r\n";

// The children of the root ("D" for the device-ID request, "T" for the
// text) and the text, for a record holding `trays`.
std::string Ask(const std::vector<uint16_t> &trays, DWORD flags, DWORD revision = 2, DWORD size = 404) {
    HostRecord record(size);
    TrayInfoItem *items = static_cast<TrayInfoItem *>(GlobalAlloc(GPTR, trays.size() * sizeof(TrayInfoItem) + 1));
    for (size_t i = 0; i < trays.size(); ++i) {
        items[i].wTray = trays[i];
        items[i].next = i + 1 < trays.size() ? reinterpret_cast<InfoItem *>(&items[i + 1]) : nullptr;
    }
    record->pTrayInfo = trays.empty() ? nullptr : items;
    record->nTrayInfo = static_cast<DWORD>(trays.size());
    pattest::PoisonLastError();
    QueryNode *root = PatCreateQueryInfo(record.get(), revision, flags);
    const DWORD error = GetLastError();
    record->pTrayInfo = nullptr;
    record->nTrayInfo = 0;
    GlobalFree(items);
    if (root == nullptr) return "error "s + std::to_string(error);
    std::string shape = error == 0 ? "" : "error ";
    for (const QueryNode *c = root->pFirstChild; c != nullptr; c = c->pNextSibling) {
        shape += c->nType == QNODE_DEVICE_ID ? (c->dwLength == 0 ? "D" : "D?") : c->nType == QNODE_PJL_TEXT ? "T" : "?";
        if (c->nType == QNODE_PJL_TEXT && c->dwLength != pjltest::ChildText(root, QNODE_PJL_TEXT).size() + 1) shape += "?";
    }
    shape += ' ';
    shape += pjltest::ChildText(root, QNODE_PJL_TEXT);
    pattest::FreeTree(root);
    return shape;
}

TEST(PatCreateQueryInfo, RequestsAndTrays) {
    EXPECT_EQ(Ask({}, 0), " ");
    EXPECT_EQ(Ask({}, PAT_QUERY_DEVICE_ID), "D ");
    EXPECT_EQ(Ask({}, PAT_QUERY_DEVICE_ID_ALT1 | PAT_QUERY_DEVICE_ID_ALT2), "D ");
    EXPECT_EQ(Ask({}, PAT_QUERY_OUTBINS), "T "s + kOpen + kBins + kClose);
    for (DWORD flags : {PAT_QUERY_CONFIG, PAT_QUERY_CONFIG_ALT1, PAT_QUERY_CONFIG_ALT2}) {
        EXPECT_EQ(Ask({}, flags), "T "s + kOpen + kConfig + kClose);
    }
    // No trays known: tray 1 and the multi-purpose tray, which every printer has.
    EXPECT_EQ(Ask({}, 0x18), "T "s + kOpen + kFront + Tray("1") + kMulti + kBins + kClose);
    EXPECT_EQ(Ask({}, 0x8051E), "DT "s + kOpen + kConfig + kFront + Tray("1") + kMulti + kBins + kClose);
    // Known trays in the record's order; a code without inquiry asks nothing.
    EXPECT_EQ(Ask({4, 1}, PAT_QUERY_TRAYS), "T "s + kOpen + kFront + Tray("2") + kMulti + kClose);
    EXPECT_EQ(Ask({2}, PAT_QUERY_TRAYS), "T "s + kOpen + kFront + kClose);
    // A list repeating its trays a thousand times asks each once: the
    // longest text there is, 485 characters, within the text buffer.
    std::vector<uint16_t> repeated;
    for (int i = 0; i < 1000; ++i) repeated.push_back(std::vector<uint16_t>{5, 3, 1, 4}[i % 4]);
    const std::string longest = kOpen + kConfig + kFront + Tray("3") + Tray("1") + kMulti + Tray("2") + kBins + kClose;
    EXPECT_EQ(longest.size(), 485u);
    EXPECT_EQ(Ask(repeated, 0x1C), "T "s + longest);
}

TEST(PatCreateQueryInfo, Rejections) {
    EXPECT_EQ(Ask({}, PAT_QUERY_CONFIG, 0x102), "T "s + kOpen + kConfig + kClose) << "only the low byte counts";
    EXPECT_EQ(Ask({}, PAT_QUERY_CONFIG, 3), "error 87");
    EXPECT_EQ(Ask({}, PAT_QUERY_CONFIG, 2, 403), "error 87");
    pattest::PoisonLastError();
    EXPECT_EQ(PatCreateQueryInfo(nullptr, 2, PAT_QUERY_CONFIG), nullptr);
    EXPECT_EQ(GetLastError(), 87u);
}

TEST(PatCreateEmulUniqQueryInfo, TolvQueryOnly) {
    HostRecord record;
    for (DWORD kind : {15u, 0xFFFF000Fu, 14u}) {
        pattest::PoisonLastError();
        QueryNode *root = PatCreateEmulUniqQueryInfo(record.get(), 2, kind, 0xDEADBEEF);
        if (kind == 14u) {
            EXPECT_EQ(root, nullptr);
            EXPECT_EQ(GetLastError(), 87u);
            continue;
        }
        ASSERT_NE(root, nullptr);
        EXPECT_EQ(GetLastError(), 0u);
        EXPECT_EQ(root->pFirstChild->dwLength, 41u);
        EXPECT_EQ(pjltest::ChildText(root, QNODE_PJL_TEXT), kOpen + "@PJL INFO TOLV\r\n" + kClose);
        pattest::FreeTree(root);
    }
    pattest::PoisonLastError();
    EXPECT_EQ(PatCreateEmulUniqQueryInfo(record.get(), 1, 15, 0), nullptr);
    EXPECT_EQ(GetLastError(), 87u);
}

}  // namespace
