// The reply exchange's completeness check: fed byte by byte or whole, it
// agrees with a plain model that rescans everything, and it reads a long
// reply once.
#include "transports/reply_exchange.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>

namespace patmon {
namespace {

const std::string kQuery =
    "\x1b%-12345X@PJL\r\n@PJL INFO STATUS\r\n@PJL INFO CONFIG\r\n@PJL INQUIRE INTRAY1SIZE\r\n\x1b%-12345X";

// The model: for each asked category, some echo of the whole command line
// (followed by a line end) with a form feed anywhere after it.
bool ModelComplete(const std::string &replies) {
    for (const std::string command : {"@PJL INFO STATUS", "@PJL INFO CONFIG", "@PJL INQUIRE INTRAY1SIZE"}) {
        bool found = false;
        for (size_t at = replies.find(command); at != std::string::npos && !found;
             at = replies.find(command, at + 1)) {
            const size_t end = at + command.size();
            if (end < replies.size() && replies[end] != '\r' && replies[end] != '\n') continue;
            found = replies.find('\f', end) != std::string::npos;
        }
        if (!found) return false;
    }
    return true;
}

TEST(ReplyExchange, APrintersRepliesAreCompleteOnlyWithEveryEchoAndItsFormFeed) {
    const std::string status = "@PJL INFO STATUS\r\nCODE=10001\r\n\f";
    const std::string config = "@PJL INFO CONFIG\r\nMEMORY=262144\r\n\f";
    const std::string tray = "@PJL INQUIRE INTRAY1SIZE\r\nA4\r\n\f";
    EXPECT_TRUE(RepliesComplete(kQuery, status + config + tray));
    EXPECT_TRUE(RepliesComplete(kQuery, tray + config + status));
    EXPECT_FALSE(RepliesComplete(kQuery, status + config));
    EXPECT_FALSE(RepliesComplete(kQuery, status + config + "@PJL INQUIRE INTRAY1SIZE\r\nA4\r\n"));
    // A longer command is not the echo of a shorter one.
    EXPECT_FALSE(RepliesComplete(kQuery, status + config + "@PJL INQUIRE INTRAY1SIZEX\r\n\f"));
    // A form feed before the echo does not end it.
    EXPECT_FALSE(RepliesComplete(kQuery, "\f" + status + config + "@PJL INQUIRE INTRAY1SIZE"));
    // A query that asks nothing is answered by nothing.
    EXPECT_TRUE(RepliesComplete("@PJL\r\n", ""));
}

TEST(ReplyExchange, FeedingByteByByteEqualsTheWholeBufferAndTheModel) {
    const std::vector<std::string> pieces = {
        "@PJL INFO STATUS", "@PJL INFO CONFIG", "@PJL INQUIRE INTRAY1SIZE", "@PJL INFO STAT", "@PJL INQUIRE INTRAY1SIZEX",
        "@PJL @PJL INFO ", "\r\n", "\n", "\r", "\f", "CODE=10001", " ", "@"};
    std::mt19937 random(20261209);
    for (int round = 0; round < 3000; ++round) {
        std::string replies;
        const int count = std::uniform_int_distribution<int>(0, 24)(random);
        for (int i = 0; i < count; ++i) {
            replies += pieces[std::uniform_int_distribution<size_t>(0, pieces.size() - 1)(random)];
        }
        ReplyCompleteness bytewise(kQuery);
        for (size_t i = 0; i < replies.size(); ++i) {
            const bool complete = bytewise.Feed(&replies[i], 1);
            // Complete exactly when the model says the prefix so far is.
            ASSERT_EQ(complete, ModelComplete(replies.substr(0, i + 1))) << "round " << round << " at " << i;
        }
        EXPECT_EQ(RepliesComplete(kQuery, replies), ModelComplete(replies)) << "round " << round;
    }
}

// A printer that repeats its first echo line before answering costs one
// pass over the reply, not a rescan per read.
TEST(ReplyExchange, AMegabyteOfRepeatedEchoLinesIsCheckedInMilliseconds) {
    std::string replies;
    while (replies.size() < kMaxReplyBytes - 200) replies += "@PJL INFO STATUS\r\n";
    replies += "@PJL INFO CONFIG\r\n\f@PJL INQUIRE INTRAY1SIZE\r\nA4\r\n\f";
    const auto start = std::chrono::steady_clock::now();
    size_t at = 0;
    std::string received;
    const std::string problem = CollectReplies(
        kQuery,
        [&](char *buffer, size_t size) -> long {
            const size_t n = std::min<size_t>(std::min<size_t>(size, 1460), replies.size() - at);
            std::copy_n(replies.data() + at, n, buffer);
            at += n;
            return n == 0 ? 0 : static_cast<long>(n);
        },
        &received);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(problem, "");
    EXPECT_EQ(received, replies);
    EXPECT_LT(seconds, 2.0);  // a bound far above the cost, far below a rescan's
}

TEST(ReplyExchange, CollectingSaysWhyTheRepliesStopped) {
    auto collect = [](std::vector<long> answers) {
        std::string replies;
        size_t next = 0;
        return CollectReplies(
            kQuery,
            [&](char *buffer, size_t) -> long {
                const long n = answers[next++];
                if (n > 0) std::fill_n(buffer, n, 'x');
                return n;
            },
            &replies);
    };
    EXPECT_EQ(collect({-2}), reply_problem::kNoAnswer);
    EXPECT_EQ(collect({5, -2}), reply_problem::kStopped);
    EXPECT_EQ(collect({5, 0}), reply_problem::kClosed);
    EXPECT_EQ(collect({-1}), reply_problem::kReadFailed);
    EXPECT_EQ(collect(std::vector<long>(80, 16384)), reply_problem::kTooLong);
}

}  // namespace
}  // namespace patmon
