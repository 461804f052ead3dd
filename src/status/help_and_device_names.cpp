// PatGetStatusHelpFileName and PatGetDeviceName.
#include "status/help_and_device_names.h"

#include "frame/localized_string.h"
#include "frame/result.h"
#include "status/string_catalogue.h"
#include "prninfo/name_tables.h"
#include "status/status_text.h"

#include <cstring>

namespace patprn {

namespace {

// What each kind of PatGetDeviceName expects: the form byte of its key,
// and the English names it translates (null: the key is a device number
// of the device-name catalogue).
struct DeviceNameKind {
    uint32_t kind;
    uint8_t form;
    const NameTableRow *names;
};
constexpr DeviceNameKind kDeviceNameKinds[] = {
    {PAT_DEVICE_INPUT_TRAY, DEVICE_KEY_TEXT, TrayNameTable},
    {PAT_DEVICE_OUTPUT_BIN, DEVICE_KEY_TEXT, OutBinNameTable},
    {PAT_DEVICE_OPTION, DEVICE_KEY_CODE, nullptr},
};

DWORD GetStatusHelpFileName(DWORD status, const PrnInfoEx *record, char *output, DWORD *length) {
    if (length == nullptr || !IsStatusSource(status)) return ERROR_INVALID_PARAMETER;
    // The record is read like every other host record: never past the size
    // it declares.
    if (record != nullptr && !HostRecordSizeAtLeast(record, PAT_PRNINFOEX_MIN_SIZE)) return ERROR_INVALID_PARAMETER;
    // This printer family has no help files, so the name is always empty;
    // the status is still resolved as by the other status exports, whose
    // failures (no priority table for the status argument, no memory) are
    // this export's too.
    ResolvedCodes *codes = ElemListCreate(kResolvedCodeSize, kResolvedCodesPerStep, kResolvedCodesInitialSteps);
    if (codes == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
    const DWORD error = ResolveStatusCodes(StatusContext{status, record}, codes);
    ElemListFree(codes);
    if (error != ERROR_SUCCESS) return error;
    return DeliverText("", output, length);
}

// The display name of `key` for `kind` into `name` (kDeviceNameSize bytes).
DWORD LoadDeviceName(DWORD kind, const void *key, DWORD form, char *name) {
    for (const DeviceNameKind &row : kDeviceNameKinds) {
        if (row.kind != kind) continue;
        if ((form & 0xFFu) != row.form || key == nullptr) return ERROR_INVALID_PARAMETER;
        if (row.names != nullptr) {
            const NameTableRow *found = NameTableFind(row.names, static_cast<const char *>(key));
            if (found->stringNumber == 0) return ERROR_INVALID_PARAMETER;
            return LoadLocalizedString(found->stringNumber, name, kDeviceNameSize);
        }
        uint32_t number;
        std::memcpy(&number, key, sizeof number);
        const StringCatalogue *catalogue = FindStringCatalogue(kCatalogueDevices, kCatalogueShort);
        if (catalogue == nullptr) return PAT_ERROR_NOT_FOUND;
        return LoadCatalogueString(catalogue, number, name, kDeviceNameSize);
    }
    return ERROR_INVALID_PARAMETER;
}

DWORD GetDeviceName(DWORD kind, const void *key, DWORD form, char *output, DWORD *length) {
    if (length == nullptr) return ERROR_INVALID_PARAMETER;
    char name[kDeviceNameSize] = "";
    const DWORD error = LoadDeviceName(kind, key, form, name);
    if (error != ERROR_SUCCESS) return error;
    return DeliverText(name, output, length);
}

}  // namespace

}  // namespace patprn

extern "C" BOOL WINAPI PatGetStatusHelpFileName(DWORD status, const PrnInfoEx *record, DWORD /*reserved*/,
                                                char *output, DWORD *length) {
    return patprn::ExportResult(patprn::GetStatusHelpFileName(status, record, output, length));
}

extern "C" BOOL WINAPI PatGetDeviceName(DWORD kind, const void *key, DWORD form, char *output, DWORD *length) {
    return patprn::ExportResult(patprn::GetDeviceName(kind, key, form, output, length));
}
