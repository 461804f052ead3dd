// The help file name and the device names as a host asks for them: the
// argument checks, the length protocol, the names in the selected
// language, and the release of every working list when allocations fail.
#include "allocation_failures.h"
#include "frame/language_guard.h"
#include "status/help_and_device_names.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using pattest::AddStatusCode;
using pattest::HostRecord;
using pattest::PoisonLastError;

namespace {

class Names : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(PatSetLocale("EN"), TRUE); }
    pattest::LanguageGuard language;
};

struct Reply {
    BOOL ok;
    DWORD error;
    DWORD length;
    std::string text;
};

Reply DeviceName(DWORD kind, const void *key, DWORD form, DWORD size = 256) {
    char out[256] = "untouched";
    DWORD length = size;
    PoisonLastError();
    const BOOL ok = PatGetDeviceName(kind, key, form, out, &length);
    return {ok, GetLastError(), length, out};
}

Reply HelpFileName(DWORD status, const PrnInfoEx *record, DWORD size) {
    char out[16] = "untouched";
    DWORD length = size;
    PoisonLastError();
    const BOOL ok = PatGetStatusHelpFileName(status, record, 0, out, &length);
    return {ok, GetLastError(), length, out};
}

}  // namespace

TEST_F(Names, HelpFileNameIsEmptyOnceTheStatusResolves) {
    HostRecord printer;
    AddStatusCode(printer.get(), 40012);
    for (DWORD status : {1u, 0x80000001u}) {
        const Reply r = HelpFileName(status, printer.get(), 1);
        EXPECT_EQ(r.ok, TRUE);
        EXPECT_EQ(r.error, 0u);
        EXPECT_EQ(r.length, 1u);
        EXPECT_EQ(r.text, "");
    }
    const Reply shorter = HelpFileName(1, printer.get(), 0);
    EXPECT_EQ(shorter.error, 122u);
    EXPECT_EQ(shorter.length, 1u);
    EXPECT_EQ(shorter.text, "untouched");

    const Reply managed = HelpFileName(PAT_STATUS_SOURCE_PM, printer.get(), 16);
    EXPECT_EQ(managed.error, PAT_ERROR_NOT_FOUND);
    EXPECT_EQ(managed.length, 16u);
    EXPECT_EQ(HelpFileName(2, printer.get(), 16).error, 87u);
    EXPECT_EQ(HelpFileName(1, nullptr, 16).error, 87u);
    EXPECT_EQ(PatGetStatusHelpFileName(1, printer.get(), 0, nullptr, nullptr), FALSE);
    EXPECT_EQ(GetLastError(), 87u);
}

TEST_F(Names, TraysBinsAndDevices) {
    const DWORD hardDisk = 629, duplex = 628, usb = 872;
    const struct {
        DWORD kind;
        const void *key;
        DWORD form;
        DWORD error;
        const char *text;
    } cases[] = {
        {PAT_DEVICE_INPUT_TRAY, "Bypass Tray", DEVICE_KEY_TEXT, 0, "Bypass Tray"},
        {PAT_DEVICE_INPUT_TRAY, "Tray 3", 0x197, 0, "Tray 3"},  // the form's low 8 bits count
        {PAT_DEVICE_OUTPUT_BIN, "Standard Tray", DEVICE_KEY_TEXT, 0, "Standard Tray"},
        {PAT_DEVICE_OPTION, &hardDisk, DEVICE_KEY_CODE, 0, "Hard Disk Unit"},
        {PAT_DEVICE_OPTION, &usb, DEVICE_KEY_CODE, 0, "USB Board"},
        {PAT_DEVICE_INPUT_TRAY, "Standard Tray", DEVICE_KEY_TEXT, 87, "untouched"},  // a bin, not a tray
        {PAT_DEVICE_INPUT_TRAY, "tray 1", DEVICE_KEY_TEXT, 87, "untouched"},
        {PAT_DEVICE_INPUT_TRAY, "Tray 1", DEVICE_KEY_CODE, 87, "untouched"},
        {PAT_DEVICE_OPTION, &hardDisk, DEVICE_KEY_TEXT, 87, "untouched"},
        {PAT_DEVICE_OPTION, &duplex, DEVICE_KEY_CODE, PAT_ERROR_NOT_FOUND, "untouched"},
        {PAT_DEVICE_OPTION, nullptr, DEVICE_KEY_CODE, 87, "untouched"},
        {PAT_DEVICE_INPUT_TRAY, nullptr, DEVICE_KEY_TEXT, 87, "untouched"},
        {0, "Tray 1", DEVICE_KEY_TEXT, 87, "untouched"},
        {4, "Tray 1", DEVICE_KEY_TEXT, 87, "untouched"},
    };
    for (const auto &c : cases) {
        const Reply r = DeviceName(c.kind, c.key, c.form);
        const DWORD length = c.error == 0 ? static_cast<DWORD>(std::strlen(c.text) + 1) : 256u;
        EXPECT_EQ(r.ok, c.error == 0 ? TRUE : FALSE) << c.kind << " " << c.text;
        EXPECT_EQ(r.error, c.error) << c.kind << " " << c.text;
        EXPECT_EQ(r.text, c.text) << c.kind;
        EXPECT_EQ(r.length, length) << c.kind << " " << c.text << ": failures leave the length";
    }
}

TEST_F(Names, LengthProtocolAndLanguage) {
    EXPECT_EQ(DeviceName(PAT_DEVICE_INPUT_TRAY, "Bypass Tray", DEVICE_KEY_TEXT, 12).ok, TRUE);
    const Reply shorter = DeviceName(PAT_DEVICE_INPUT_TRAY, "Bypass Tray", DEVICE_KEY_TEXT, 11);
    EXPECT_EQ(shorter.error, 122u);
    EXPECT_EQ(shorter.length, 12u);
    EXPECT_EQ(shorter.text, "untouched");
    DWORD length = 100;
    EXPECT_EQ(PatGetDeviceName(PAT_DEVICE_INPUT_TRAY, "Tray 1", DEVICE_KEY_TEXT, nullptr, &length), FALSE);
    EXPECT_EQ(GetLastError(), 122u);
    EXPECT_EQ(length, 7u) << "a null buffer asks for the size";
    EXPECT_EQ(PatGetDeviceName(PAT_DEVICE_INPUT_TRAY, "Tray 1", DEVICE_KEY_TEXT, nullptr, nullptr), FALSE);
    EXPECT_EQ(GetLastError(), 87u);

    // No Czech table exists and the loader borrows none: the failed load is
    // reported, not an empty name.
    ASSERT_EQ(PatSetLocale("CS"), TRUE);
    EXPECT_EQ(DeviceName(PAT_DEVICE_INPUT_TRAY, "Bypass Tray", DEVICE_KEY_TEXT).error, PAT_ERROR_NOT_FOUND);
}

// 25 codes make the code list grow.
TEST_F(Names, EveryFailedAllocationIsReportedAndReleased) {
    SKIP_WITHOUT_HEAP_HOOK();
    HostRecord printer;
    for (int i = 0; i < 25; ++i) AddStatusCode(printer.get(), 40012);
    const DWORD hardDisk = 629;
    char out[256];
    DWORD length = 0;
    EXPECT_GT(pattest::ExpectEveryAllocationFailureReported("help file name", [&] {
        length = sizeof out;
        return PatGetStatusHelpFileName(1, printer.get(), 0, out, &length);
    }), 3u);
    // A name is loaded without the global heap: one run, which succeeds.
    EXPECT_EQ(pattest::ExpectEveryAllocationFailureReported("tray name", [&] {
        length = sizeof out;
        return PatGetDeviceName(PAT_DEVICE_INPUT_TRAY, "Tray 2", DEVICE_KEY_TEXT, out, &length);
    }), 1u);
    EXPECT_EQ(pattest::ExpectEveryAllocationFailureReported("device name", [&] {
        length = sizeof out;
        return PatGetDeviceName(PAT_DEVICE_OPTION, &hardDisk, DEVICE_KEY_CODE, out, &length);
    }), 1u);
}
