#include "transports/reply_exchange.h"

#include <sstream>

namespace patmon {

namespace {

// The command lines of a PJL text that the printer answers, as the printer
// echoes them ("@PJL INFO STATUS").
std::vector<std::string> AnsweredCommands(const std::string &query) {
    std::vector<std::string> commands;
    std::istringstream lines(query);
    for (std::string line; std::getline(lines, line);) {
        const size_t at = line.find("@PJL ");
        if (at == std::string::npos) continue;
        line.erase(0, at);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        std::istringstream words(line);
        std::string prefix, command, category;
        words >> prefix >> command >> category;
        if ((command == "INFO" || command == "INQUIRE") && !category.empty()) {
            commands.push_back(prefix + " " + command + " " + category);
        }
    }
    return commands;
}

// The failure table of a pattern: after a mismatch with k characters
// matched, matching goes on with fallback[k] characters matched.
std::vector<uint32_t> FallbackTable(const std::string &pattern) {
    std::vector<uint32_t> fallback(pattern.size() + 1, 0);
    uint32_t k = 0;
    for (size_t i = 1; i < pattern.size(); ++i) {
        while (k > 0 && pattern[i] != pattern[k]) k = fallback[k];
        if (pattern[i] == pattern[k]) ++k;
        fallback[i + 1] = k;
    }
    return fallback;
}

}  // namespace

ReplyCompleteness::ReplyCompleteness(const std::string &query) {
    for (std::string &echo : AnsweredCommands(query)) {
        Category category;
        category.fallback = FallbackTable(echo);
        category.echo = std::move(echo);
        categories_.push_back(std::move(category));
    }
    waiting_ = categories_.size();
}

void ReplyCompleteness::Step(Category &category, char c) {
    const std::string &echo = category.echo;
    if (category.matched == echo.size()) {
        // The echo must be the whole command line, not the start of a longer one.
        if (c == '\r' || c == '\n') category.echoed = true;
        category.matched = category.fallback[category.matched];
    }
    if (category.echoed && c == '\f') {
        category.done = true;
        --waiting_;
        return;
    }
    uint32_t k = category.matched;
    while (k > 0 && c != echo[k]) k = category.fallback[k];
    if (c == echo[k]) ++k;
    category.matched = k;
}

bool ReplyCompleteness::Feed(const char *data, size_t size) {
    for (size_t i = 0; i < size && waiting_ != 0; ++i) {
        for (Category &category : categories_) {
            if (!category.done) Step(category, data[i]);
        }
    }
    return Complete();
}

bool RepliesComplete(const std::string &query, const std::string &replies) {
    ReplyCompleteness check(query);
    return check.Feed(replies.data(), replies.size());
}

std::string CollectReplies(const std::string &query, const std::function<long(char *, size_t)> &receive,
                           std::string *replies) {
    ReplyCompleteness check(query);
    char buffer[16384];
    for (bool complete = check.Feed(replies->data(), replies->size()); !complete;) {
        const long n = receive(buffer, sizeof buffer);
        if (n == -2) return replies->empty() ? reply_problem::kNoAnswer : reply_problem::kStopped;
        if (n == 0) return reply_problem::kClosed;
        if (n < 0) return reply_problem::kReadFailed;
        if (replies->size() + static_cast<size_t>(n) > kMaxReplyBytes) return reply_problem::kTooLong;
        replies->append(buffer, static_cast<size_t>(n));
        complete = check.Feed(buffer, static_cast<size_t>(n));
    }
    return {};
}

}  // namespace patmon
