#include "status/pcl_emulation.h"

#include "prninfo/codes.h"
#include "prninfo/prninfo.h"

namespace patprn {

namespace {

// The PCL emulations, in the order they are looked for; PCL 5c is also
// what a PJL reply's plain "PCL" becomes.
constexpr uint16_t kPclEmulations[] = {kEmulPcl5e, kEmulPcl5c, kEmulPcl6};

}  // namespace

int HasPclEmulation(const PrnInfoEx *record) {
    if (record == nullptr) return 0;
    for (uint16_t emulation : kPclEmulations) {
        if (InfoListFind(record, InfoList::LoadedEmul, emulation) != nullptr) return 1;
    }
    return 0;
}

}  // namespace patprn
