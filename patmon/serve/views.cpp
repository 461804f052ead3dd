#include "serve/views.h"

#include <algorithm>
#include <array>
#include <cstring>

#include <lz4.h>

#include "outputs/json_output.h"
#include "outputs/picture.h"
#include "poll/status_meanings.h"

namespace patmon {

bool SamePicture(const std::vector<DrawStep> &a, const std::vector<DrawStep> &b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const DrawStep &x, const DrawStep &y) {
        return x.name == y.name && x.x == y.x && x.y == y.y && x.rop == y.rop;
    });
}

PrinterView ViewOfPoll(const std::string &name, const PollResult &result, const PrinterRecord &record) {
    PrinterView view;
    view.name = name;
    view.polled = true;
    view.responded = result.responded;
    view.label = result.label;
    view.message = result.message;
    view.lastError = result.responded ? std::string() : result.problem;
    view.codes = result.codes;
    view.picture = result.picture;
    const PrnInfoEx &r = *record.get();
    view.attention = r.bAttention != 0;
    if (!result.responded) return view;
    for (const CounterInfoItem *c = r.pCounterInfo; c != nullptr;
         c = reinterpret_cast<const CounterInfoItem *>(c->next)) {
        if (c->wCounter == 1) view.pageCount = c->dwValue;
    }
    view.severity = result.readings.severity;
    view.trays = result.readings.trays;
    view.bins = result.readings.bins;
    view.supplies = result.readings.supplies;
    view.reasons = result.readings.reasons;
    const std::array<TonerState, 4> toner = TonerStatesOf(result.codes);
    for (size_t c = 0; c < toner.size(); ++c) view.toner[c] = static_cast<int>(toner[c]);
    return view;
}

uint64_t PictureVersion(const PrinterView &last, const std::vector<DrawStep> &picture) {
    const bool same = last.polled && SamePicture(last.picture, picture);
    return last.pictureVersion + (same ? 0 : 1);
}

PackedText::PackedText(std::string_view text) : size_(text.size()) {
    packed_.resize(static_cast<size_t>(LZ4_compressBound(static_cast<int>(text.size()))));
    const int packed = LZ4_compress_default(text.data(), packed_.data(), static_cast<int>(text.size()),
                                            static_cast<int>(packed_.size()));
    packed_.resize(static_cast<size_t>(packed));
    packed_.shrink_to_fit();
}

std::string PackedText::Text() const {
    std::string text(size_, '\0');
    const int unpacked = LZ4_decompress_safe(packed_.data(), text.data(), static_cast<int>(packed_.size()),
                                             static_cast<int>(size_));
    text.resize(static_cast<size_t>(std::max(unpacked, 0)));
    return text;
}

std::shared_ptr<const PackedText> PollJsonCache::Json(const PollResult &result, const PrinterRecord &record,
                                                     const std::string &target) {
    std::string key;
    key += result.responded ? '1' : '0';
    key += result.problem;
    key += '\0';
    key += result.label;
    key += '\0';
    key += result.message;
    // What the printer's MIB added: it changes without the record.
    for (const PollSupply &supply : result.readings.supplies) {
        key += '\0' + supply.name + '\0' + supply.state + '\0' +
               (supply.levelPercent ? std::to_string(*supply.levelPercent) : "-");
    }
    for (const std::string &reason : result.readings.reasons) key += '\0' + reason;
    for (const PollTray &tray : result.readings.trays) {
        key += '\0' + tray.id + (tray.levelPercent ? std::to_string(*tray.levelPercent) : "-") + tray.state;
    }
    const Fingerprint content = FingerprintOf(*record.get(), key);
    if (!json_ || content != key_) {
        // Without the time: the document of each poll carries its own.
        json_ = std::make_shared<const PackedText>(ResultJson(result, record, PollContext{target, std::nullopt}, -1));
        key_ = content;
        ++made_;
    }
    return json_;
}

std::vector<uint8_t> PictureCache::Png(const std::vector<DrawStep> &steps, uint64_t version) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (version != version_) {
        std::string error;
        std::vector<uint8_t> png;
        if (!EncodePng(ComposePicture(steps), &png, &error)) return {};
        png_ = std::move(png);
        version_ = version;
    }
    return png_;
}

}  // namespace patmon
