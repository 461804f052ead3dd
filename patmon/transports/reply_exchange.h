// The reply exchange every command shares: a printer's PJL replies are
// read until every category the query asked has its echoed command line
// followed by a form feed. The check is incremental: each byte received is
// looked at once, with a small state per asked category, so its cost grows
// with the reply's size and no more (a printer that repeats one echo line
// a million times costs milliseconds, not minutes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace patmon {

// Most bytes taken from a printer in one poll.
constexpr size_t kMaxReplyBytes = 1 << 20;

// Whether the replies to one query are complete, fed as they arrive.
class ReplyCompleteness {
public:
    // Reads the INFO and INQUIRE command lines of the query's PJL text:
    // the echoes the replies must carry.
    explicit ReplyCompleteness(const std::string &query);

    // Looks at the next bytes of the replies; true once complete.
    bool Feed(const char *data, size_t size);
    bool Complete() const { return waiting_ == 0; }

private:
    // One asked category: its echo ("@PJL INFO STATUS") matched a
    // character at a time (a failure table, so overlapping starts are
    // found), then the end of that line, then a form feed.
    struct Category {
        std::string echo;
        std::vector<uint32_t> fallback;  // on a mismatch after k matched characters
        uint32_t matched = 0;            // characters of the echo matched so far
        bool echoed = false;             // a whole echo line came; a form feed ends it
        bool done = false;
    };
    void Step(Category &category, char c);

    std::vector<Category> categories_;
    size_t waiting_ = 0;
};

// True once every INFO or INQUIRE category of `query` has its echoed
// command line in `replies` with a form feed somewhere after it.
bool RepliesComplete(const std::string &query, const std::string &replies);

// Reads replies with `receive` (as net::Receive answers: bytes read, 0 the
// peer closed, -1 an error, -2 the deadline passed) until they are complete
// for `query`; returns what went wrong, empty when complete.
std::string CollectReplies(const std::string &query, const std::function<long(char *, size_t)> &receive,
                           std::string *replies);

// The failure texts of an exchange, shared by every transport.
namespace reply_problem {
constexpr const char *kNoAnswer = "no answer in time";
constexpr const char *kStopped = "the replies stopped before they were complete";
constexpr const char *kClosed = "the connection closed before the replies were complete";
constexpr const char *kReadFailed = "reading the replies failed";
constexpr const char *kTooLong = "more than 1 MB of replies";
}  // namespace reply_problem

}  // namespace patmon
