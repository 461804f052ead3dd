#include "poll/fingerprint.h"

#include <algorithm>
#include <cstring>
#include <random>

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace patmon {

namespace {

XXH64_hash_t Secret() {
    static const XXH64_hash_t secret = [] {
        std::random_device device;
        return (static_cast<XXH64_hash_t>(device()) << 32) ^ device();
    }();
    return secret;
}

}  // namespace

Fingerprint FingerprintOf(const PrnInfoEx &r, std::string_view also) {
    XXH3_state_t state;
    XXH3_INITSTATE(&state);
    XXH3_128bits_reset_withSeed(&state, Secret());
    const auto add = [&state](const void *bytes, size_t size) { XXH3_128bits_update(&state, bytes, size); };

    PrnInfoEx flat;
    std::memcpy(&flat, &r, sizeof flat);
    flat.pEngineStatus = nullptr;
    flat.pLoadedEmul = nullptr;
    flat.pLoadedFont = nullptr;
    flat.pTrayInfo = nullptr;
    flat.pOutBinInfo = nullptr;
    flat.pDeviceInfo = nullptr;
    flat.pEmulUniqInfo = nullptr;
    flat.pCounterInfo = nullptr;
    flat.pSupplyInfo = nullptr;
    flat.pColorCorrection = nullptr;
    flat.pCustomMediaInfo = nullptr;
    flat.pModelName = flat.pMakerName = flat.pDescription = nullptr;
    flat.pSYSVersion = flat.pMainProgVersion = flat.pVPSVersion = nullptr;
    add(&flat, sizeof flat);
    // Each list's items, then a separator: an item moved to the next list
    // changes the fingerprint.
    constexpr char kListEnd = '\x1e';
    for (const void *head : {static_cast<const void *>(r.pEngineStatus), static_cast<const void *>(r.pLoadedEmul),
                             static_cast<const void *>(r.pLoadedFont), static_cast<const void *>(r.pTrayInfo),
                             static_cast<const void *>(r.pOutBinInfo), static_cast<const void *>(r.pDeviceInfo),
                             static_cast<const void *>(r.pEmulUniqInfo), static_cast<const void *>(r.pCounterInfo),
                             static_cast<const void *>(r.pSupplyInfo),
                             static_cast<const void *>(r.pColorCorrection), static_cast<const void *>(r.pCustomMediaInfo)}) {
        for (auto *item = static_cast<const InfoItem *>(head); item != nullptr; item = item->next) {
            const size_t size = std::clamp<size_t>(item->cbItem, sizeof(InfoItem), 4096);
            add(reinterpret_cast<const char *>(item) + sizeof(InfoItem), size - sizeof(InfoItem));
        }
        add(&kListEnd, 1);
    }
    for (const char *text : {r.pModelName, r.pMakerName, r.pDescription, r.pSYSVersion, r.pMainProgVersion,
                             r.pVPSVersion}) {
        if (text != nullptr) add(text, std::strlen(text));
        add("", 1);
    }
    add(also.data(), also.size());
    const XXH128_hash_t digest = XXH3_128bits_digest(&state);
    return {digest.low64, digest.high64};
}

}  // namespace patmon
