#include "status/pcl_emulation.h"

#include "prninfo/prninfo.h"

namespace patprn {

namespace {

// Emulation codes of the PCL emulations, in the order they are looked for:
// 16 PCL 5e; 18 PCL 5c (also what a PJL reply's plain "PCL" becomes);
// 17 PCL 6 / PCL XL.
constexpr uint16_t kPclEmulations[] = {16, 18, 17};

}  // namespace

int HasPclEmulation(const PrnInfoEx *record) {
    if (record == nullptr) return 0;
    InfoItem *first = reinterpret_cast<InfoItem *>(record->pLoadedEmul);
    for (uint16_t emulation : kPclEmulations) {
        if (InfoItemChainFind(first, emulation) != nullptr) return 1;
    }
    return 0;
}

}  // namespace patprn
