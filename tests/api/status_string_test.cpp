// The status text as a host sees it through the real library: it builds a
// status tree over its printer records and asks for the short label or the
// detailed message, in English and in every language of the library. The
// expected texts of the other languages are taken from the string table
// sources themselves (resources/strings), converted to the language's code
// page here, never from the library.
#include "patprn/patprn.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <iconv.h>
#endif

namespace {

using pattest::AddEmulationCode;
using pattest::AddStatusCode;
using pattest::AddStatusCodes;
using pattest::HostRecord;
using pattest::MakeStatusTree;
using pattest::PoisonLastError;

constexpr DWORD kStatusRevision = 3;

// A printer as the host keeps it: its record (status codes, flags,
// emulations) and an empty supplement record, joined in a status tree.
struct Printer {
    HostRecord main;
    HostRecord supplement;
    explicit Printer(std::initializer_list<DWORD> codes) {
        for (DWORD code : codes) AddStatusCode(main.get(), code);
    }
    ~Printer() { pattest::FreeTree(tree); }
    // The management source finds its main record by the type the root's
    // data length names.
    const QueryNode *Tree() {
        const uint32_t rootLength = mainType == 1 ? 0 : static_cast<uint32_t>(mainType);
        if (tree == nullptr) tree = MakeStatusTree(main.get(), supplement.get(), mainType, rootLength);
        return tree;
    }
    int32_t mainType = 1;
    QueryNode *tree = nullptr;
};

struct Reply {
    BOOL ok;
    DWORD error;
    DWORD length;
    std::string text;
};

// One call with a 512-byte buffer, output and last error poisoned.
Reply StatusString(Printer &printer, DWORD variant, DWORD status = PAT_STATUS_SOURCE_PJL) {
    char buffer[512];
    std::memset(buffer, 0x5A, sizeof buffer);
    buffer[sizeof buffer - 1] = '\0';
    DWORD length = sizeof buffer;
    PoisonLastError();
    const BOOL ok = PatGetStatusString(status, printer.Tree(), kStatusRevision, variant, buffer, &length);
    return {ok, GetLastError(), length, ok ? std::string(buffer) : std::string()};
}

class StatusStringApi : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(PatSetLocale("EN"), TRUE); }
    void TearDown() override { ASSERT_EQ(PatSetLocale("EN"), TRUE); }
};

// One host story per row: the printer's state, the variant, the text.
TEST_F(StatusStringApi, WorkedExamplesAndStatesInEnglish) {
    Printer toner({40015, 40013, 40012, 40014, 10001});
    Printer trays({41300, 41200});
    Printer ready({10001});
    Printer silent({10001, 40800});
    silent.main->bNoResponse = 1;
    Printer service({});
    AddStatusCode(service.main.get(), 40800, "Service call SC 541");
    Printer transfer({40141});
    Printer pclTransfer({40141});
    AddEmulationCode(pclTransfer.main.get(), 18);
    Printer empty({41105});
    Printer misfeed({42004});  // a code without a priority
    const struct {
        Printer *printer;
        DWORD status, variant;
        const char *text;
    } rows[] = {
        {&toner, 1, 2,
         "The following toner has run out. \nOpen the indicated cover, and then replace the Toner Cartridge. \n"
         "Top Cover:Black, Cyan, Magenta, Yellow"},
        {&toner, 1, 1, "No Toner"},
        {&trays, 1, 2,
         "The selected paper source tray is not installed, or is not installed properly. \nCheck the indicated "
         "tray.\nTray 1, Tray 2"},
        {&trays, 1, 1, "Tray Not Detected"},
        {&ready, 1, 1, "Operational"},
        {&ready, 1, 2, "Ready"},
        {&ready, 1 | PAT_STATUS_ALT_SET, 1, ""},
        {&silent, 1, 1, "No Response from Machine"},
        {&silent, 1, 2, "Check the cable, power cord, and main switch."},
        {&service, 1, 2,
         "Turn the main switch off, then on. \nIf this message appears again, please call your service center. "
         "\nSC 541"},
        {&service, 1, 1, "Call Service Center"},
        {&transfer, 1, 2,
         "The Transfer Unit is not installed, or is not installed properly. \nPlease call your service center."},
        {&pclTransfer, 1, 2,
         "The Transfer Unit is not installed, or is not installed properly. \nOpen the indicated cover, and then "
         "check the part.\nLeft Cover"},
        {&empty, 1, 2, "Load paper in the indicated paper source tray.\nBypass Tray"},
        {&misfeed, 1, 2,
         "Open the indicated cover, and then remove any jammed paper.\nFront Cover Unit, Front Cover Shell"},
    };
    for (const auto &row : rows) {
        const Reply r = StatusString(*row.printer, row.variant, row.status);
        EXPECT_EQ(r.ok, TRUE) << row.text;
        EXPECT_EQ(r.error, 0u) << row.text;
        EXPECT_EQ(r.text, row.text);
        EXPECT_EQ(r.length, std::strlen(row.text) + 1) << row.text;
    }
}

TEST_F(StatusStringApi, LengthProtocol) {
    Printer ready({10001});
    char buffer[32] = "untouched";
    for (DWORD size : {5u, 12u}) {
        DWORD length = size;
        PoisonLastError();
        EXPECT_EQ(PatGetStatusString(1, ready.Tree(), kStatusRevision, 1, buffer, &length), size == 12 ? TRUE : FALSE);
        EXPECT_EQ(GetLastError(), size == 12 ? 0u : 122u);
        EXPECT_EQ(length, 12u);
        EXPECT_STREQ(buffer, size == 12 ? "Operational" : "untouched");
    }
    DWORD length = 100;
    PoisonLastError();
    EXPECT_EQ(PatGetStatusString(1, ready.Tree(), kStatusRevision, 1, nullptr, &length), FALSE);
    EXPECT_EQ(GetLastError(), 122u);
    EXPECT_EQ(length, 12u) << "a null buffer asks for the size";
}

TEST_F(StatusStringApi, FailuresLeaveTheBufferAndLength) {
    Printer ready({10001});
    Printer offline({10002});
    Printer managed({10001});
    managed.mainType = 4;
    Printer lone({10001});
    lone.tree = MakeStatusTree(lone.main.get(), nullptr);  // no supplement record: malformed
    const struct {
        const char *what;
        Printer *printer;
        DWORD status, revision, variant;
        DWORD error;
    } cases[] = {
        {"variant 3", &ready, 1, 3, 3, PAT_ERROR_NOT_FOUND},
        {"no priority table", &managed, PAT_STATUS_SOURCE_PM, 3, 1, 8},
        {"source 0x10001", &ready, 0x10001, 3, 1, 8},
        {"no message in the alternate set", &offline, 1 | PAT_STATUS_ALT_SET, 3, 2, PAT_ERROR_NOT_FOUND},
        {"revision 2", &ready, 1, 2, 1, 87},
        {"source 2", &ready, 2, 3, 1, 87},
        {"malformed tree", &lone, 1, 3, 1, 87},
    };
    for (const auto &c : cases) {
        char buffer[64] = "untouched";
        DWORD length = sizeof buffer;
        PoisonLastError();
        EXPECT_EQ(PatGetStatusString(c.status, c.printer->Tree(), c.revision, c.variant, buffer, &length), FALSE)
            << c.what;
        EXPECT_EQ(GetLastError(), c.error) << c.what;
        EXPECT_EQ(length, sizeof buffer) << c.what;
        EXPECT_STREQ(buffer, "untouched") << c.what;
    }
    DWORD length = 64;
    char buffer[64];
    EXPECT_EQ(PatGetStatusString(1, nullptr, 3, 1, buffer, &length), FALSE);
    EXPECT_EQ(GetLastError(), 87u);
    EXPECT_EQ(PatGetStatusString(1, ready.Tree(), 3, 1, buffer, nullptr), FALSE);
    EXPECT_EQ(GetLastError(), 87u);
}

// Everything the status exports give for a printer: both texts (or their
// error), the picture's draw steps with the size of the block the host
// receives them in, and the help file name's reply.
std::string StatusResults(Printer &printer) {
    std::ostringstream out;
    for (DWORD variant : {1u, 2u}) {
        const Reply r = StatusString(printer, variant);
        out << "text " << r.ok << '/' << r.error << '/' << r.length << ": " << r.text << '\n';
    }
    BitmapInfo *info = PatCreateBitmapInfo(1, printer.Tree(), kStatusRevision);
    out << "picture " << (info != nullptr);
    for (DWORD i = 0; info != nullptr && i < info->nLayers; ++i) {
        const BitmapLayer &layer = info->pLayers[i];
        out << ", " << layer.nEntries << " steps in " << GlobalSize(layer.pEntries) << " bytes: "
            << std::string(reinterpret_cast<const char *>(layer.pEntries), layer.nEntries * sizeof(BitmapEntry));
    }
    if (info != nullptr) PatDisposeBitmapInfo(info);
    char name[16];
    DWORD length = sizeof name;
    PoisonLastError();
    const BOOL ok = PatGetStatusHelpFileName(1, printer.main.get(), 0, name, &length);
    out << "\nhelp " << ok << '/' << GetLastError() << '/' << length;
    return out.str();
}

// A record of 100,000 engine-status items, all of one code or all
// different (codes no table knows, so every one is among the most urgent),
// gives what a record of a few of them gives, within a fraction of a
// second: the working lists grow by a share of their size, not step by
// step, each growth copying all that came before.
TEST_F(StatusStringApi, AHundredThousandStatusItemsGiveTheSmallRecordsResultsQuickly) {
    constexpr DWORD kItems = 100000;
    constexpr DWORD kUnknown = 2000000000u;
    std::vector<DWORD> same(kItems, 40012);
    std::vector<DWORD> different;
    for (DWORD i = 0; i < kItems; ++i) different.push_back(kUnknown + i);
    const struct {
        const char *what;
        const std::vector<DWORD> &codes;
        std::initializer_list<DWORD> few;
    } cases[] = {
        {"one code", same, {40012}},
        {"different codes", different, {kUnknown, kUnknown + 1}},
    };
    for (const auto &c : cases) {
        Printer small(c.few);
        Printer large({});
        AddStatusCodes(large.main.get(), c.codes);
        const std::string expected = StatusResults(small);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(StatusResults(large), expected) << c.what;
        // A bound far above the linear cost even on a loaded machine under
        // the sanitizers, far below the minutes of a quadratic one.
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 20.0) << c.what;
    }
}

// ---- Every language -------------------------------------------------------

struct Language {
    const char *code;  // for PatSetLocale
    const char *file;  // resources/strings/<file>.rc
    unsigned codePage;
};

const Language kLanguages[] = {
    {"JP", "ja", 932},  {"EN", "en", 1252}, {"DE", "de", 1252}, {"FR", "fr", 1252}, {"IT", "it", 1252},
    {"ES", "es", 1252}, {"NL", "nl", 1252}, {"SV", "sv", 1252}, {"DA", "da", 1252}, {"NO", "no", 1252},
    {"HU", "hu", 1250}, {"PL", "pl", 1250}, {"PT", "pt", 1252}, {"FI", "fi", 1252},
};

// UTF-8 text in the 8-bit code page the library delivers it in.
std::string ToCodePage(const std::string &utf8, unsigned codePage) {
#ifdef _WIN32
    const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide.data(), units);
    const int bytes = WideCharToMultiByte(codePage, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(codePage, 0, wide.c_str(), -1, out.data(), bytes, nullptr, nullptr);
    out.resize(out.size() - 1);
    return out;
#else
    const std::string name = "CP" + std::to_string(codePage);
    iconv_t cd = iconv_open(name.c_str(), "UTF-8");
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1)) << name;
    std::string in = utf8;
    std::string out(in.size() * 2 + 1, '\0');
    char *inp = in.data();
    char *outp = out.data();
    size_t inLeft = in.size();
    size_t outLeft = out.size();
    EXPECT_NE(iconv(cd, &inp, &inLeft, &outp, &outLeft), static_cast<size_t>(-1)) << utf8;
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
#endif
}

// The texts of one string table source, by number, in the language's code
// page. A row reads `number "text"  // comment`; "\n" stands for a line feed.
std::map<unsigned, std::string> ReadStringTable(const Language &language) {
    std::map<unsigned, std::string> texts;
    std::ifstream file(std::string(PATPRN_FIXTURES) + "/../../resources/strings/" + language.file + ".rc");
    EXPECT_TRUE(file.is_open()) << language.file;
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream row(line);
        unsigned number;
        if (!(row >> number)) continue;
        const size_t open = line.find('"');
        const size_t close = line.find('"', open + 1);
        if (open == std::string::npos || close == std::string::npos) continue;
        std::string text;
        for (size_t i = open + 1; i < close; ++i) {
            if (line[i] == '\\' && line[i + 1] == 'n') {
                text += '\n';
                ++i;
            } else {
                text += line[i];
            }
        }
        texts[number] = ToCodePage(text, language.codePage);
    }
    return texts;
}

// A message with its n-th "%s" replaced by lists[n - 1] ("" past the end).
std::string Fill(const std::string &message, const std::vector<std::string> &lists) {
    std::string out;
    size_t placeholder = 0;
    for (size_t i = 0; i < message.size(); ++i) {
        if (message[i] == '%' && i + 1 < message.size() && message[i + 1] == 's') {
            if (placeholder < lists.size()) out += lists[placeholder];
            ++placeholder;
            ++i;
        } else {
            out += message[i];
        }
    }
    return out;
}

TEST_F(StatusStringApi, WorkedExamplesInEveryLanguage) {
    Printer toner({40012, 40013, 40014, 40015});
    Printer trays({41200, 41300});
    for (const Language &language : kLanguages) {
        SCOPED_TRACE(language.code);
        std::map<unsigned, std::string> t = ReadStringTable(language);
        ASSERT_EQ(t.count(2088) + t.count(2081) + t.count(3500), 3u);
        const std::string &comma = t[3500];
        ASSERT_EQ(PatSetLocale(language.code), TRUE);

        // Toner out: the cover, then the colours black, cyan, magenta, yellow.
        const std::string colours = t[3009] + comma + t[3010] + comma + t[3011] + comma + t[3012];
        EXPECT_EQ(StatusString(toner, 2).text, Fill(t[2088], {t[3007], colours}));
        EXPECT_EQ(StatusString(toner, 1).text, t[1088]);

        // Trays 1 and 2 not detected: every place gets both trays.
        const std::string both = t[3000] + comma + t[3001];
        EXPECT_EQ(StatusString(trays, 2).text, Fill(t[2081], {both, both, both}));
        EXPECT_EQ(StatusString(trays, 1).text, t[1081]);

        char name[256];
        DWORD length = sizeof name;
        EXPECT_EQ(PatGetDeviceName(PAT_DEVICE_INPUT_TRAY, "Bypass Tray", DEVICE_KEY_TEXT, name, &length), TRUE);
        EXPECT_EQ(name, t[5003]);
    }
}

}  // namespace
