// The message tables of the status text and the placeholder item table.
//
// A message table turns a status code into message candidates: each row
// gives the message key of the message catalogues and the item (tray,
// cover, toner colour) the message names. Several rows may share a key, so
// one code can name several items (a toner out names the top cover and its
// colour). Message keys follow one rule: a plain key gives the code itself,
// except that the "tray not detected" codes 41100-41400 give 1041100-1041400
// (their own message, apart from the "no paper" message of the patterns
// 411yy-414yy); a pattern gives its digits with the letters read as zeros;
// the no-response code gives STATUS_NO_RESPONSE. Row order is the order the
// messages are offered in; a code takes every exactly equal row, and only
// when there is none every row whose pattern matches.
#include "status/status_text.h"

#include "status/code_index.h"
#include "status/string_catalogue.h"

#include <array>
#include <cstddef>

namespace patprn {

namespace {

// Item codes: the order of their names in a message is that of the item
// catalogue, not these numbers.
constexpr uint32_t kNone = 0;
constexpr uint32_t kTray1 = 1;
constexpr uint32_t kTray2 = 2;
constexpr uint32_t kTray3 = 3;
constexpr uint32_t kBypassTray = 4;
constexpr uint32_t kStandardTray = 5;
constexpr uint32_t kFrontCoverUnit = 6;
constexpr uint32_t kFrontCoverShell = 7;
constexpr uint32_t kTopCover = 8;
constexpr uint32_t kLeftCover = 9;
constexpr uint32_t kCyan = 10;
constexpr uint32_t kMagenta = 11;
constexpr uint32_t kYellow = 12;
constexpr uint32_t kBlack = 13;

}  // namespace

constexpr StatusMessageRow StatusMessageTable[] = {
    {"10001", 10001, kNone},
    {"4294967042", STATUS_NO_RESPONSE, kNone},
    {"10002", 10002, kNone},
    {"10033", 10033, kNone},
    {"10023", 10023, kNone},
    {"10047", 10047, kNone},
    {"10035", 10035, kNone},
    {"10003", 10003, kNone},
    {"10036", 10036, kNone},
    {"10037", 10037, kNone},
    {"10004", 10004, kNone},
    {"50101", 50101, kNone},
    {"50102", 50102, kNone},
    {"50115", 50115, kNone},
    {"50108", 50108, kNone},
    {"50110", 50110, kNone},
    {"50111", 50111, kNone},
    {"50112", 50112, kNone},
    {"50113", 50113, kNone},
    {"50109", 50109, kNone},
    {"50105", 50105, kNone},
    {"50114", 50114, kNone},
    {"30136", 30136, kNone},
    {"30608", 30608, kNone},
    {"30617", 30617, kNone},
    {"30616", 30616, kNone},
    {"30330", 30330, kStandardTray},
    {"13200", 13200, kTray1},
    {"13300", 13300, kTray2},
    {"13400", 13400, kTray3},
    {"12201", 12201, kTray1},
    {"12301", 12301, kTray2},
    {"12401", 12401, kTray3},
    {"30428", 30428, kNone},
    {"30427", 30427, kNone},
    {"30440", 30440, kNone},
    {"30429", 30429, kNone},
    {"30426", 30426, kNone},
    {"30405", 30405, kNone},
    {"10075", 10075, kYellow},
    {"10074", 10074, kMagenta},
    {"10073", 10073, kCyan},
    {"10072", 10072, kBlack},
    {"30991", 30991, kBypassTray},
    {"30992", 30992, kTray1},
    {"30993", 30993, kTray2},
    {"30994", 30994, kTray3},
    {"10032", 10032, kNone},
    {"30610", 30610, kNone},
    {"30607", 30607, kNone},
    {"30407", 30407, kNone},
    {"30403", 30403, kNone},
    {"30015", 30015, kYellow},
    {"30014", 30014, kMagenta},
    {"30013", 30013, kCyan},
    {"30609", 30609, kNone},
    {"40979", 40979, kNone},
    {"40991", 40991, kBypassTray},
    {"40992", 40992, kTray1},
    {"40993", 40993, kTray2},
    {"40994", 40994, kTray3},
    {"461yy", 46100, kBypassTray},
    {"462yy", 46200, kTray1},
    {"463yy", 46300, kTray2},
    {"464yy", 46400, kTray3},
    {"471yy", 47100, kBypassTray},
    {"472yy", 47200, kTray1},
    {"473yy", 47300, kTray2},
    {"474yy", 47400, kTray3},
    {"481yy", 48100, kBypassTray},
    {"482yy", 48200, kTray1},
    {"483yy", 48300, kTray2},
    {"484yy", 48400, kTray3},
    {"450yy", 45000, kNone},
    {"411yy", 41100, kBypassTray},
    {"412yy", 41200, kTray1},
    {"413yy", 41300, kTray2},
    {"414yy", 41400, kTray3},
    {"41100", 1041100, kBypassTray},
    {"41200", 1041200, kTray1},
    {"41300", 1041300, kTray2},
    {"41400", 1041400, kTray3},
    {"40300", 40300, kStandardTray},
    {"40015", 40015, kTopCover},
    {"40015", 40015, kYellow},
    {"40014", 40014, kTopCover},
    {"40014", 40014, kMagenta},
    {"40013", 40013, kTopCover},
    {"40013", 40013, kCyan},
    {"40012", 40012, kTopCover},
    {"40012", 40012, kBlack},
    {"40028", 40028, kNone},
    {"40020", 40020, kNone},
    {"40041", 40041, kNone},
    {"40042", 40042, kNone},
    {"40011", 40011, kLeftCover},
    {"40903", 40903, kNone},
    {"40208", 40208, kTopCover},
    {"40206", 40206, kFrontCoverShell},
    {"40206", 40206, kLeftCover},
    {"40159", 40159, kLeftCover},
    {"40135", 40135, kTopCover},
    {"40135", 40135, kYellow},
    {"40134", 40134, kTopCover},
    {"40134", 40134, kMagenta},
    {"40133", 40133, kTopCover},
    {"40133", 40133, kCyan},
    {"40132", 40132, kTopCover},
    {"40132", 40132, kBlack},
    {"40155", 40155, kLeftCover},
    {"40154", 40154, kLeftCover},
    {"40153", 40153, kLeftCover},
    {"40152", 40152, kLeftCover},
    {"42000", 42000, kFrontCoverUnit},
    {"42001", 42001, kFrontCoverUnit},
    {"42004", 42004, kFrontCoverShell},
    {"42004", 42004, kFrontCoverUnit},
    {"42009", 42009, kFrontCoverShell},
    {"40800", 40800, kNone},
    {"30619", 30619, kNone},
    {"30620", 30620, kNone},
    {"30621", 30621, kNone},
    {nullptr, 0, kNone},
};

// The alternate presentation shows fewer states; a code without
// a row here has no message in it.
constexpr StatusMessageRow AltStatusMessageTable[] = {
    {"10001", 10001, kNone},
    {"4294967042", STATUS_NO_RESPONSE, kNone},
    {"50101", 50101, kNone},
    {"50102", 50102, kNone},
    {"50115", 50115, kNone},
    {"50108", 50108, kNone},
    {"50112", 50112, kNone},
    {"50113", 50113, kNone},
    {"50109", 50109, kNone},
    {"50105", 50105, kNone},
    {"50114", 50114, kNone},
    {"30428", 30428, kNone},
    {"30427", 30427, kNone},
    {"30440", 30440, kNone},
    {"10075", 10075, kYellow},
    {"10074", 10074, kMagenta},
    {"10073", 10073, kCyan},
    {"10072", 10072, kBlack},
    {"10032", 10032, kNone},
    {"30610", 30610, kNone},
    {"30607", 30607, kNone},
    {"30015", 30015, kYellow},
    {"30014", 30014, kMagenta},
    {"30013", 30013, kCyan},
    {"30609", 30609, kNone},
    {"40015", 40015, kTopCover},
    {"40015", 40015, kYellow},
    {"40014", 40014, kTopCover},
    {"40014", 40014, kMagenta},
    {"40013", 40013, kTopCover},
    {"40013", 40013, kCyan},
    {"40012", 40012, kTopCover},
    {"40012", 40012, kBlack},
    {"40028", 40028, kNone},
    {"40020", 40020, kNone},
    {"40011", 40011, kLeftCover},
    {"40800", 40800, kNone},
    {nullptr, 0, kNone},
};

// The toner messages end in "%s:%s": the cover to open, then the colours.
// Without these rows the cover would also be listed among the colours.
const uint32_t PlaceholderItemTable[] = {
    40015, kTopCover, 0, kYellow, 0, 0,
    40014, kTopCover, 0, kMagenta, 0, 0,
    40013, kTopCover, 0, kCyan, 0, 0,
    40012, kTopCover, 0, kBlack, 0, 0,
    40135, kTopCover, 0, kYellow, 0, 0,
    40134, kTopCover, 0, kMagenta, 0, 0,
    40133, kTopCover, 0, kCyan, 0, 0,
    40132, kTopCover, 0, kBlack, 0, 0,
    0,
};

const StatusMessageRow *StatusMessageTableFor(uint32_t status) {
    return (status & STATUS_ALT_SET) != 0 ? AltStatusMessageTable : StatusMessageTable;
}


// The message catalogues list every message key of their table once, in
// the order of the first row that gives it, and between them the keys of
// the codes that ExpandStatusCode turns into entries itself (they have no
// rows). A key's position fixes its strings, so a message key gained or
// lost above stops the build at the key counts below; the order itself is
// checked by the catalogue tests.
namespace {

// Message keys that no row gives, listed right after the key `after`.
struct RowlessKeys {
    uint32_t after;
    std::array<uint32_t, 4> keys;  // a shorter run ends with 0
};

constexpr RowlessKeys kPrimaryRowlessKeys[] = {
    {30607, {30400, 30409}},
    {40152, {40141, 40100}},
    {40800, {1030400, 1030409, 1040141, 1040100}},
};
constexpr RowlessKeys kAltRowlessKeys[] = {
    {30607, {30400, 30409}},
    {40011, {40141, 40100}},
    {40800, {1030400, 1030409, 1040141, 1040100}},
};

struct CatalogueKeys {
    std::array<uint32_t, 256> keys;
    size_t count;
};

template <size_t R>
constexpr CatalogueKeys CollectCatalogueKeys(const StatusMessageRow *table, const RowlessKeys (&rowless)[R]) {
    CatalogueKeys list{};
    auto listed = [&list](uint32_t key) {
        for (size_t i = 0; i < list.count; ++i) {
            if (list.keys[i] == key) return true;
        }
        return false;
    };
    for (const StatusMessageRow *row = table; row->key != nullptr; ++row) {
        if (listed(row->messageKey)) continue;
        list.keys[list.count++] = row->messageKey;
        for (const RowlessKeys &run : rowless) {
            if (run.after != row->messageKey) continue;
            for (uint32_t key : run.keys) {
                if (key != 0) list.keys[list.count++] = key;
            }
        }
    }
    return list;
}

template <size_t N>
constexpr std::array<uint32_t, N> FirstKeys(const CatalogueKeys &list) {
    std::array<uint32_t, N> keys{};
    for (size_t n = 0; n < N; ++n) keys[n] = list.keys[n];
    return keys;
}

constexpr CatalogueKeys kMessageKeys = CollectCatalogueKeys(StatusMessageTable, kPrimaryRowlessKeys);
constexpr CatalogueKeys kAltMessageKeys = CollectCatalogueKeys(AltStatusMessageTable, kAltRowlessKeys);
static_assert(kMessageKeys.count == kMessageKeyCount, "the primary messages are strings 1000-1119 and 2000-2119");
static_assert(kAltMessageKeys.count == kAltMessageKeyCount,
              "the alternate messages are strings 1500-1540 and 2500-2540");

}  // namespace

constexpr std::array<StringCatalogue, kMessageKeyCount + 1> MessageShortCatalogue =
    NumberedCatalogue(FirstKeys<kMessageKeyCount>(kMessageKeys), 1000);
constexpr std::array<StringCatalogue, kMessageKeyCount + 1> MessageDetailedCatalogue =
    NumberedCatalogue(FirstKeys<kMessageKeyCount>(kMessageKeys), 2000);
constexpr std::array<StringCatalogue, kAltMessageKeyCount + 1> AltMessageShortCatalogue =
    NumberedCatalogue(FirstKeys<kAltMessageKeyCount>(kAltMessageKeys), 1500);
constexpr std::array<StringCatalogue, kAltMessageKeyCount + 1> AltMessageDetailedCatalogue =
    NumberedCatalogue(FirstKeys<kAltMessageKeyCount>(kAltMessageKeys), 2500);


// Each message table by code (code_index.h), for MatchMessageRows.
namespace {
constexpr auto kMessageIndex = BuildCodeIndex(StatusMessageTable);
constexpr auto kAltMessageIndex = BuildCodeIndex(AltStatusMessageTable);
constexpr CodeIndexView kMessageIndexView = kMessageIndex.View();
constexpr CodeIndexView kAltMessageIndexView = kAltMessageIndex.View();
}  // namespace

const CodeIndexView &StatusMessageIndexFor(uint32_t status) {
    return (status & STATUS_ALT_SET) != 0 ? kAltMessageIndexView : kMessageIndexView;
}

}  // namespace patprn
