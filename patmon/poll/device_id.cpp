#include "poll/device_id.h"

#include <cstdint>

#include "patprn/patprn.h"

namespace patmon {

namespace {

// The value of the first "STS" field, if there is one.
bool StatusField(const std::string &deviceId, std::string *value) {
    size_t start = 0;
    while (start < deviceId.size()) {
        size_t end = deviceId.find(';', start);
        if (end == std::string::npos) end = deviceId.size();
        if (deviceId.compare(start, 4, "STS:") == 0) {
            *value = deviceId.substr(start + 4, end - start - 4);
            return true;
        }
        start = end + 1;
    }
    return false;
}

// A status code as the library reads it: digits only, within 32 bits.
bool IsStatusCode(const std::string &piece) {
    if (piece.empty() || piece.size() > 10 || piece.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    const uint64_t value = std::stoull(piece);
    return value != 0 && value <= UINT32_MAX && value != PAT_STATUS_NO_RESPONSE;
}

}  // namespace

std::string DeviceIdStatusProblem(const std::string &deviceId) {
    const std::string read = deviceId.substr(0, deviceId.find('\0'));
    std::string value;
    if (!StatusField(read, &value)) return "the printer's device ID has no status (STS)";
    const std::string codes = value.substr(0, value.find(','));
    if (codes.find_first_not_of('/') == std::string::npos) return "the printer's device ID has no status codes (STS)";
    size_t start = 0;
    while (start <= codes.size()) {
        size_t end = codes.find('/', start);
        if (end == std::string::npos) end = codes.size();
        const std::string piece = codes.substr(start, end - start);
        if (!piece.empty() && !IsStatusCode(piece)) {
            return "the printer's device ID has a status code that is not one (\"" + piece.substr(0, 24) + "\")";
        }
        start = end + 1;
    }
    return {};
}

}  // namespace patmon
