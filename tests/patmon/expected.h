// What every built-in scenario of the virtual printer must show, written
// down independently of patmon: the texts are copied from the string tables
// (resources/strings/en.rc and ja.rc), the draw lists from the status
// pictures of the codes, the record from the scenario's printer. Checks of
// a poll's JSON and of its PNG picture against them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "poll/poll.h"

namespace patmontest {

struct Step {
    std::string name;
    int x = 0;
    int y = 0;
    std::string rop;
};

// A tray of the record: tray code (1 bypass, 3..5 trays 1..3), paper size
// code (9 A4, 23 letter) and level in percent.
struct Tray {
    int code;
    int size;
    int level;
};

struct ExpectedScenario {
    std::string name;
    std::vector<uint32_t> codes;  // the status codes of the poll
    std::vector<Tray> trays;      // empty when the printer does not answer
    std::string labelEn, messageEn;
    std::string labelJa, messageJa;  // UTF-8, half-width katakana
    std::vector<Step> picture;
};

// Test names show the scenario's name.
inline void PrintTo(const ExpectedScenario &e, std::ostream *os) { *os << e.name; }

// Every built-in scenario, in listing order.
const std::vector<ExpectedScenario> &ExpectedScenarios();
const ExpectedScenario &Expected(const std::string &name);

// Checks one poll's JSON (as patmon prints it) in `language` ("EN" or "JP").
// `utf8` in compatibility-normalised form (NFKC), by ICU.
std::string Nfkc(const std::string &utf8);

void CheckResultJson(const nlohmann::json &doc, const ExpectedScenario &expected, const std::string &language);

// Checks that the PNG file is 320 x 200 and equals, pixel for pixel, the
// draw list of `doc` ("picture") composed from the stored bitmap files.
void CheckPicture(const std::string &pngPath, const nlohmann::json &doc);

// Polls the built-in scenario in process (the virtual transport), with the
// status text in `language`; `result` receives the poll when given.
nlohmann::json PollInProcess(const std::string &scenario, const std::string &language,
                             patmon::PollResult *result = nullptr);

// The scenario's name as a test name ("toner-out" -> "toner_out").
std::string ScenarioTestName(const testing::TestParamInfo<ExpectedScenario> &info);

}  // namespace patmontest
