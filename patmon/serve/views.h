// What the fleet service shows of a printer after each poll: its view
// (read by the metrics, the API and the status page), the poll's JSON,
// made again only when the printer's record or texts changed, and its
// status picture as PNG, composed again only when the picture changed.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "poll/fingerprint.h"
#include "poll/poll.h"
#include "serve/fleet.h"

namespace patmon {

bool SamePicture(const std::vector<DrawStep> &a, const std::vector<DrawStep> &b);

// The view of printer `name` after a poll with `result` into `record`:
// its status, codes, picture, and (when it answered) its page count,
// trays and toners. The times, the picture's version and the document
// are the fleet's to fill in.
PrinterView ViewOfPoll(const std::string &name, const PollResult &result, const PrinterRecord &record);

// The picture version of a new view: the last one's, moved on when the
// picture differs from what `last` showed (or nothing was shown yet).
uint64_t PictureVersion(const PrinterView &last, const std::vector<DrawStep> &picture);

// A text held packed (LZ4): every printer's poll JSON is kept until it
// changes, the largest thing a large fleet's service holds per printer,
// and packed it takes a little over half its size (3.2 KB → 1.8 KB).
// Packing takes a few microseconds, and only when the JSON changed;
// unpacking is about as fast as a copy.
class PackedText {
public:
    explicit PackedText(std::string_view text);
    std::string Text() const;
    size_t PackedSize() const { return packed_.size(); }

private:
    std::string packed_;
    size_t size_ = 0;
};

// One printer's poll JSON (as ResultJson makes it), kept for the next poll:
// making it is the costliest part of a poll, and most polls find the
// printer as it was.
class PollJsonCache {
public:
    // The JSON of `result` and `record`: the kept one when neither the
    // record nor the texts changed since it was made.
    // Shared, so that views hold it without a copy per poll.
    std::shared_ptr<const PackedText> Json(const PollResult &result, const PrinterRecord &record,
                                           const std::string &target);
    // How many times the JSON was made.
    uint64_t Made() const { return made_; }

private:
    Fingerprint key_;  // what the JSON was made from
    std::shared_ptr<const PackedText> json_;
    uint64_t made_ = 0;
};

// One printer's status picture as PNG, composed again only when the
// picture's version changed. Safe to use from several threads.
class PictureCache {
public:
    // The PNG of `steps` at `version`; empty when it could not be made.
    std::vector<uint8_t> Png(const std::vector<DrawStep> &steps, uint64_t version);

private:
    std::mutex mutex_;
    std::vector<uint8_t> png_;
    uint64_t version_ = UINT64_MAX;
};

}  // namespace patmon
