// What the fleet service shows of a printer after its polls: the view the
// metrics, API and page read, the poll JSON kept until the printer changes,
// and the status picture's version and PNG. The printer is the virtual
// one, polled in process.
#include "serve/views.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "harness.h"
#include "outputs/json_output.h"
#include "serve/serve_json.h"
#include "simulator/printer_model.h"
#include "simulator/virtual_transport.h"
#include "transports/transport.h"

namespace patmon {
namespace {

// A virtual printer and the record the fleet keeps of it across polls.
struct WatchedPrinter {
    explicit WatchedPrinter(const char *scenario) : model(*ScenarioPrinter(scenario)) {}
    PollResult PollOnce() {
        std::unique_ptr<Transport> transport = VirtualTransport(model);
        return Poll(*transport, record, PollOptions{}, "EN");
    }
    PrinterModel model;
    PrinterRecord record;
};

TEST(Views, ThePollJsonIsMadeAgainOnlyWhenThePrinterChanged) {
    WatchedPrinter printer("ready");
    PollJsonCache cache;
    PollResult result = printer.PollOnce();
    const std::string ready = cache.Json(result, printer.record, "virtual:ready")->Text();
    EXPECT_EQ(ready, ResultJson(result, printer.record, PollContext{"virtual:ready", std::nullopt}, -1));

    // Polled again in the same state: the JSON is the one kept.
    result = printer.PollOnce();
    EXPECT_EQ(cache.Json(result, printer.record, "virtual:ready")->Text(), ready);
    EXPECT_EQ(cache.Made(), 1u);

    // Each change is seen: a page printed, a toner running low, no answer.
    printer.model.pageCount += 1;
    result = printer.PollOnce();
    EXPECT_EQ(cache.Json(result, printer.record, "virtual:ready")->Text(), ResultJson(result, printer.record, PollContext{"virtual:ready", std::nullopt}, -1));
    EXPECT_NE(cache.Json(result, printer.record, "virtual:ready")->Text(), ready);
    EXPECT_EQ(cache.Made(), 2u);

    printer.model.statusCodes = {10001, 10072};
    result = printer.PollOnce();
    EXPECT_EQ(cache.Json(result, printer.record, "virtual:ready")->Text(), ResultJson(result, printer.record, PollContext{"virtual:ready", std::nullopt}, -1));
    EXPECT_EQ(cache.Made(), 3u);

    printer.model.answers = false;
    result = printer.PollOnce();
    ASSERT_FALSE(result.responded);
    EXPECT_EQ(cache.Json(result, printer.record, "virtual:ready")->Text(), ResultJson(result, printer.record, PollContext{"virtual:ready", std::nullopt}, -1));
    EXPECT_EQ(cache.Made(), 4u);
}

// A record's fingerprint stands for its whole content: the same after a
// poll that found the printer as it was, another after any change, and
// the text given with it counts as well.
TEST(Views, ARecordsFingerprintChangesWithItsContentOnly) {
    WatchedPrinter printer("ready");
    printer.PollOnce();
    const Fingerprint first = FingerprintOf(*printer.record.get());
    printer.PollOnce();
    EXPECT_EQ(FingerprintOf(*printer.record.get()), first);
    EXPECT_NE(FingerprintOf(*printer.record.get(), "label"), first);
    EXPECT_NE(FingerprintOf(*printer.record.get(), "label"), FingerprintOf(*printer.record.get(), "labem"));

    printer.model.pageCount += 1;  // one counter item changes
    printer.PollOnce();
    const Fingerprint printed = FingerprintOf(*printer.record.get());
    EXPECT_NE(printed, first);
    printer.model.statusCodes = {10001, 10072};
    printer.PollOnce();
    EXPECT_NE(FingerprintOf(*printer.record.get()), printed);
}

// The kept JSON reads back byte for byte, whatever its length.
TEST(Views, APackedTextReadsBackAsItWas) {
    std::string mixed;
    for (uint32_t i = 0; i < 300000; ++i) mixed += static_cast<char>((i * 7919u % 251u) ^ (i >> 9));
    for (const std::string &text : {std::string(), std::string("{}"), std::string(1 << 20, 'x'), mixed}) {
        const PackedText packed(text);
        EXPECT_EQ(packed.Text(), text);
    }
    EXPECT_LT(PackedText(std::string(1 << 20, 'x')).PackedSize(), 8192u);
}

// The texts of a printer's codes are taken again while its record is as it
// was; whatever changes (the state, the codes, the language) is asked anew,
// so a kept record always reads as a fresh one would.
TEST(Views, CodeTextsOfAKeptRecordAreThoseOfAFreshOne) {
    const auto texts = [](const PollReadings &readings) {
        std::vector<std::string> out;
        for (const PollCode &code : readings.codes) out.push_back(code.text);
        return out;
    };
    const auto freshOf = [&](const PrinterModel &model, const std::string &language) {
        WatchedPrinter other("ready");
        other.model = model;
        other.PollOnce();
        const PollResult result = other.PollOnce();
        return texts(ReadRecord(other.record, true, result.codes, language));
    };
    const auto fresh = [&](const char *scenario, const std::string &language) {
        return freshOf(*ScenarioPrinter(scenario), language);
    };
    WatchedPrinter printer("toner-low");
    PollResult result = printer.PollOnce();
    result = printer.PollOnce();
    EXPECT_EQ(texts(result.readings), fresh("toner-low", "EN"));
    ASSERT_EQ(result.readings.codes.size(), 2u);

    for (const char *scenario : {"paper-jam", "toner-out", "toner-low"}) {
        printer.model = *ScenarioPrinter(scenario);
        result = printer.PollOnce();
        EXPECT_EQ(texts(result.readings), fresh(scenario, "EN")) << scenario;
    }
    // The same codes, and the tray that the paper is missing from named anew.
    printer.model.trays[1].size = "LETTER";
    result = printer.PollOnce();
    EXPECT_EQ(texts(result.readings), freshOf(printer.model, "EN"));

    ASSERT_TRUE(PatSetLocale("DE"));
    const std::vector<std::string> german = texts(ReadRecord(printer.record, true, result.codes, "DE"));
    ASSERT_TRUE(PatSetLocale("EN"));
    EXPECT_NE(german, texts(result.readings));
    ASSERT_TRUE(PatSetLocale("DE"));
    EXPECT_EQ(german, freshOf(printer.model, "DE"));
    ASSERT_TRUE(PatSetLocale("EN"));
    EXPECT_EQ(texts(ReadRecord(printer.record, true, result.codes, "EN")), texts(result.readings));
}

TEST(Views, AnAdminSeesTheStatusTraysAndTonersOfAnAnsweringPrinterAndWhyAnotherIsSilent) {
    WatchedPrinter printer("toner-out");
    const PollResult result = printer.PollOnce();
    const PrinterView view = ViewOfPoll("finance", result, printer.record);
    EXPECT_EQ(view.name, "finance");
    EXPECT_TRUE(view.polled);
    EXPECT_TRUE(view.responded);
    EXPECT_EQ(view.lastError, "");
    EXPECT_EQ(view.label, result.label);
    EXPECT_EQ(view.codes, printer.model.statusCodes);
    EXPECT_TRUE(view.attention);
    EXPECT_EQ(view.pageCount, printer.model.pageCount);
    ASSERT_FALSE(view.trays.empty());
    for (int c = 0; c < 4; ++c) EXPECT_EQ(view.toner[c], 2) << kTonerColours[c];

    printer.model.answers = false;
    const PollResult silent = printer.PollOnce();
    const PrinterView gone = ViewOfPoll("finance", silent, printer.record);
    EXPECT_FALSE(gone.responded);
    EXPECT_EQ(gone.lastError, silent.problem);
    EXPECT_FALSE(gone.lastError.empty());
    EXPECT_FALSE(gone.pageCount);
    EXPECT_TRUE(gone.trays.empty());
    for (int c = 0; c < 4; ++c) EXPECT_EQ(gone.toner[c], 0) << kTonerColours[c];
}

TEST(Views, APictureThatChangesGetsANewVersionAndANewPng) {
    WatchedPrinter printer("ready");
    PrinterView shown;  // nothing shown yet
    auto poll = [&] {
        PrinterView view = ViewOfPoll("lab", printer.PollOnce(), printer.record);
        view.pictureVersion = PictureVersion(shown, view.picture);
        shown = view;
        return view;
    };
    const PrinterView ready = poll();
    EXPECT_EQ(ready.pictureVersion, 1u);
    EXPECT_EQ(poll().pictureVersion, 1u);  // the same picture again

    printer.model = *ScenarioPrinter("cover-open");
    const PrinterView open = poll();
    ASSERT_FALSE(SamePicture(ready.picture, open.picture));
    EXPECT_EQ(open.pictureVersion, 2u);

    PictureCache pictures;
    const std::vector<uint8_t> readyPng = pictures.Png(ready.picture, ready.pictureVersion);
    ASSERT_GT(readyPng.size(), 8u);
    EXPECT_EQ(std::string(readyPng.begin(), readyPng.begin() + 4), "\x89PNG");
    // Asked again at the same version, the picture is not composed again.
    EXPECT_EQ(pictures.Png(open.picture, ready.pictureVersion), readyPng);
    const std::vector<uint8_t> openPng = pictures.Png(open.picture, open.pictureVersion);
    EXPECT_FALSE(openPng.empty());
    EXPECT_NE(openPng, readyPng);
}

// A printer's name is one segment of its URLs: names of dots only ("."
// and ".." move up the path) and anything beyond unreserved ASCII are
// refused with exit status 2's message, before anything is served.
TEST(Views, APrinterNameThatIsNotOneSafeUrlSegmentIsRefused) {
    patmontest::TempDir dir;
    const auto read = [&](const std::string &name, std::string *error) {
        patmontest::WriteFile(dir.File("fleet.json"),
                              nlohmann::json{{"printers", {{{"name", name}, {"target", "virtual"}}}}}.dump());
        return ReadServeConfig(dir.File("fleet.json"), error).has_value();
    };
    for (const std::string bad : {".", "..", "...", "a/b", "a b", "%2e%2e", "caf\xc3\xa9", "a?b", ""}) {
        std::string error;
        EXPECT_FALSE(read(bad, &error)) << bad;
        EXPECT_NE(error.find("bad printer name"), std::string::npos) << bad << ": " << error;
    }
    for (const std::string good : {"front-desk", "lab_2", "printer-7.example", ".hidden", "a..b"}) {
        std::string error;
        EXPECT_TRUE(read(good, &error)) << good << ": " << error;
    }
}

}  // namespace
}  // namespace patmon
