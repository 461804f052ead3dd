// What the fleet service shows of a printer after each poll: its view
// (read by the metrics, the API and the status page), the poll's JSON,
// made again only when the printer's record or texts changed, and its
// status picture as PNG, composed again only when the picture changed.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "poll/poll.h"
#include "serve/fleet.h"

namespace patmon {

// The record's content as bytes, without the addresses of its lists and
// strings (which change from poll to poll): equal fingerprints give equal
// JSON of the record.
std::string Fingerprint(const PrinterRecord &record);

bool SamePicture(const std::vector<DrawStep> &a, const std::vector<DrawStep> &b);

// The view of printer `name` after a poll with `result` into `record`:
// its status, codes, picture, and (when it answered) its page count,
// trays and toners. The times, the picture's version and the document
// are the fleet's to fill in.
PrinterView ViewOfPoll(const std::string &name, const PollResult &result, const PrinterRecord &record);

// The picture version of a new view: the last one's, moved on when the
// picture differs from what `last` showed (or nothing was shown yet).
uint64_t PictureVersion(const PrinterView &last, const std::vector<DrawStep> &picture);

// One printer's poll JSON (as ResultJson makes it), kept for the next poll:
// making it is the costliest part of a poll, and most polls find the
// printer as it was.
class PollJsonCache {
public:
    // The JSON of `result` and `record`: the kept one when neither the
    // record nor the texts changed since it was made.
    // Shared, so that views hold it without a copy per poll.
    std::shared_ptr<const std::string> Json(const PollResult &result, const PrinterRecord &record,
                                            const std::string &target);
    // How many times the JSON was made.
    uint64_t Made() const { return made_; }

private:
    std::string key_;  // what the JSON was made from
    std::shared_ptr<const std::string> json_;
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
