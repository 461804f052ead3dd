/* The public header compiles as C and gives C hosts the same layouts
 * (its offset checks run here under the C compiler too). */
#include "patprn/patprn.h"

size_t patprn_c_record_sizes(void) {
    return sizeof(QueryNode) + sizeof(PrnInfoEx) + sizeof(PatVersionInfo) + sizeof(PatPeripheralProfile);
}
