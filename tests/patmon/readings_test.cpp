// What a poll says in people's terms: trays by name with their paper, an
// unknown level shown as unknown, each status code with its own text and
// severity, the check mode's line and exit status, languages by any of
// their names, the labels of every language.
#include <gtest/gtest.h>

#include <cstring>

#include "cli/check.h"
#include "cli/labels.h"
#include "expected.h"
#include "harness.h"
#include "poll/languages.h"

namespace patmontest {
namespace {

patmon::PollResult PollScenario(const std::string &scenario, const std::string &language = "EN") {
    patmon::PollResult result;
    PollInProcess(scenario, language, &result);
    return result;
}

TEST(Readings, TraysHaveTheirNamesPaperAndAKnownOrUnknownLevel) {
    const patmon::PollResult result = PollScenario("feed-units");
    const auto &trays = result.readings.trays;
    ASSERT_EQ(trays.size(), 4u);
    // The bypass tray reports no level: unknown, never 0 %.
    EXPECT_EQ(trays[0].id, "bypass");
    EXPECT_EQ(trays[0].name, "Bypass Tray");
    EXPECT_FALSE(trays[0].levelPercent.has_value());
    EXPECT_EQ(trays[0].state, "unknown");
    EXPECT_EQ(trays[1].id, "tray1");
    EXPECT_EQ(trays[1].name, "Tray 1");
    EXPECT_EQ(trays[1].paper, "A4");
    EXPECT_EQ(trays[1].media, "plain");
    EXPECT_EQ(trays[1].levelPercent, 80);
    EXPECT_EQ(trays[1].state, "ok");
    EXPECT_EQ(trays[3].id, "tray3");
    EXPECT_EQ(trays[3].paper, "Letter");
    EXPECT_EQ(PollScenario("paper-out").readings.trays[1].state, "empty");
    EXPECT_EQ(result.readings.bins.at(0).id, "standard");
    EXPECT_EQ(result.readings.options, (std::vector<std::string>{"manual feed", "tray 2 unit", "tray 3 unit",
                                                                 "duplex unit"}));
}

TEST(Readings, EachCodeHasItsOwnTextAndSeverity) {
    const patmon::PollResult low = PollScenario("toner-low");
    EXPECT_EQ(low.readings.severity, "warning");
    ASSERT_EQ(low.readings.codes.size(), 2u);
    EXPECT_EQ(low.readings.codes[0].code, 10001u);
    EXPECT_EQ(low.readings.codes[0].severity, "ok");
    EXPECT_EQ(low.readings.codes[1].code, 10072u);
    EXPECT_EQ(low.readings.codes[1].severity, "warning");
    // The toner code's own message, not the ready one the printer's
    // status text shows.
    EXPECT_NE(low.readings.codes[1].text, low.readings.codes[0].text);
    EXPECT_NE(low.readings.codes[1].text.find("Black"), std::string::npos) << low.readings.codes[1].text;
    EXPECT_EQ(low.readings.codes[1].text.find('\n'), std::string::npos);

    EXPECT_EQ(PollScenario("paper-jam").readings.severity, "critical");
    EXPECT_EQ(PollScenario("ready").readings.severity, "ok");
    const patmon::PollResult silent = PollScenario("no-response");
    EXPECT_EQ(silent.readings.severity, "unknown");
    EXPECT_TRUE(silent.readings.trays.empty());
}

TEST(Check, EveryStateGivesItsPluginStatusAndOneLine) {
    struct Case {
        const char *scenario;
        int status;
        const char *state;
    } cases[] = {
        {"ready", 0, "OK"},          {"toner-low", 1, "WARNING"},   {"paper-jam", 2, "CRITICAL"},
        {"service-call", 2, "CRITICAL"}, {"toner-out", 2, "CRITICAL"}, {"no-response", 2, "CRITICAL"},
    };
    for (const Case &c : cases) {
        const RunResult run = RunPatmon({"check", std::string("virtual:") + c.scenario});
        EXPECT_EQ(run.exitCode, c.status) << c.scenario << ": " << run.out << run.err;
        EXPECT_EQ(run.out.rfind("PATMON " + std::string(c.state) + " - ", 0), 0u) << run.out;
        EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;
    }
    const RunResult ready = RunPatmon({"check", "virtual:ready"});
    EXPECT_NE(ready.out.find(" | pages=18324c tray1=80%;10;;0;100"), std::string::npos) << ready.out;
    // A level threshold makes a tray at 80 % a warning, then critical.
    EXPECT_EQ(RunPatmon({"check", "virtual:ready", "--warning-level", "85"}).exitCode, 1);
    EXPECT_EQ(RunPatmon({"check", "virtual:ready", "--critical-level", "80"}).exitCode, 2);
    // A check that cannot be made is UNKNOWN.
    const RunResult bad = RunPatmon({"check", "virtual:nonsense"});
    EXPECT_EQ(bad.exitCode, 3);
    EXPECT_EQ(bad.out.rfind("PATMON UNKNOWN - ", 0), 0u) << bad.out;
}

TEST(Languages, AreKnownByTheirCodesIsoNamesAndLocales) {
    for (const char *name : {"JP", "jp", "JA", "ja", "ja_JP.UTF-8", "ja_JP"}) {
        EXPECT_EQ(patmon::LanguageCode(name), "JP") << name;
    }
    EXPECT_EQ(patmon::LanguageCode("nb_NO.UTF-8"), "NO");
    EXPECT_EQ(patmon::LanguageCode("pt_BR"), "PT");
    EXPECT_FALSE(patmon::LanguageCode("xx").has_value());
    const RunResult unknown = RunPatmon({"poll", "virtual", "--lang", "XX"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("JP, EN, DE"), std::string::npos) << unknown.err;
    // Czech has no texts: English ones with a note, never empty.
    const RunResult czech = RunPatmon({"poll", "virtual:cover-open", "--lang", "cs"});
    EXPECT_EQ(czech.exitCode, 0) << czech.err;
    EXPECT_EQ(czech.out.rfind("Cover Open\n", 0), 0u) << czech.out;
    EXPECT_NE(czech.out.find("no Czech texts"), std::string::npos) << czech.out;
    EXPECT_NE(czech.out.find("\nmodel: "), std::string::npos) << czech.out;  // Czech for "model"
}

TEST(Languages, EveryLanguageHasEveryLabel) {
    size_t count = 0;
    const patmon::Labels *tables = patmon::AllLabels(&count);
    ASSERT_EQ(count, 15u);  // the fourteen languages with texts, and Czech
    for (size_t i = 0; i < count; ++i) {
        const patmon::Labels &l = tables[i];
        ASSERT_NE(patmon::FindLanguage(l.language), nullptr) << l.language;
        for (const char *label : {l.model, l.maker, l.description, l.options, l.none, l.memory, l.versions,
                                  l.pageCounter, l.severity, l.statusCodes, l.note, l.level, l.levelUnknown,
                                  l.label, l.message}) {
            ASSERT_NE(label, nullptr) << l.language;
            EXPECT_GT(std::strlen(label), 0u) << l.language;
        }
    }
    const RunResult german = RunPatmon({"poll", "virtual", "--lang", "de"});
    EXPECT_NE(german.out.find("\nModell: Colour Laser 500\n"), std::string::npos) << german.out;
}

}  // namespace
}  // namespace patmontest
