// The fleet's metrics and the print queue's backend read the same table of
// what each status code means, so for every code they must tell the same
// of each toner: run out in one is run out in the other, low is low.
#include "serve/metrics.h"

#include <gtest/gtest.h>

#include <cctype>
#include <sstream>

#include "cups/state_reasons.h"
#include "poll/status_meanings.h"
#include "serve/views.h"

namespace patmon {
namespace {

// A code the row's key names: its pattern letters as zeros.
uint32_t CodeOf(const char *key) {
    std::string digits = key;
    for (char &c : digits) {
        if (std::islower(static_cast<unsigned char>(c))) c = '0';
    }
    return static_cast<uint32_t>(std::stoul(digits));
}

// patmon_toner_state of each colour in the metrics of printer "p"; -1 where
// there is no series.
std::array<int, 4> TonerStates(const std::string &metrics) {
    std::array<int, 4> states{-1, -1, -1, -1};
    std::istringstream lines(metrics);
    for (std::string line; std::getline(lines, line);) {
        for (size_t c = 0; c < states.size(); ++c) {
            const std::string series =
                std::string("patmon_toner_state{printer=\"p\",colour=\"") + kTonerColours[c] + "\"} ";
            if (line.rfind(series, 0) == 0) states[c] = std::stoi(line.substr(series.size()));
        }
    }
    return states;
}

TEST(Metrics, EveryStatusCodeShowsTheSameTonerStateInTheMetricsAsInThePrintQueue) {
    int runOut = 0, low = 0;
    for (const StatusMeaning &row : StatusMeanings()) {
        const uint32_t code = CodeOf(row.key);
        // The view the fleet builds for a printer whose record holds the code.
        PollResult result;
        result.responded = code != PAT_STATUS_NO_RESPONSE;
        result.problem = result.responded ? "" : "no answer in time";
        result.codes = {code};
        const PrinterRecord record;
        const PrinterView view = ViewOfPoll("p", result, record);
        const std::array<int, 4> metric = TonerStates(MetricsText({view}, FleetCounters{}));
        const std::vector<Marker> markers = MarkersOf({code});
        ASSERT_EQ(markers.size(), 4u);
        for (size_t c = 0; c < 4; ++c) {
            SCOPED_TRACE(std::string(row.key) + " " + kTonerColours[c]);
            // A printer that did not answer has no toner series; the queue
            // shows its toners as it knows nothing of them.
            const int state = result.responded ? metric[c] : 0;
            if (result.responded) {
                EXPECT_GE(metric[c], 0) << "no series";
            }
            EXPECT_EQ(state == 2, markers[c].level == 0);
            if (markers[c].level != 0) {
                EXPECT_EQ(state == 1, markers[c].low);
            }
            runOut += state == 2;
            low += state == 1;
        }
    }
    // Every colour has codes that say run out and codes that say low.
    EXPECT_GE(runOut, 8);
    EXPECT_GE(low, 4);
}

}  // namespace
}  // namespace patmon
