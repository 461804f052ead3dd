/* An out-of-tree host built against the installed library only: the
 * installed headers, the CMake package or patprn.pc, the installed shared
 * library. Prints the library's version and a device name; exits 0 when
 * both come back. */
#include <patprn/patprn.h>

#include <stdio.h>

int main(void) {
    PatVersionInfo version = {sizeof version, 0, 0, 0, {0, 0, 0, 0}};
    if (!PatGetDllVersion(&version) || version.dwInterfaceVersion != PAT_INTERFACE_VERSION) {
        fprintf(stderr, "PatGetDllVersion failed: %lu\n", (unsigned long)GetLastError());
        return 1;
    }
    char name[64];
    DWORD length = sizeof name;
    if (!PatSetLocale(PAT_LOCALE_ENGLISH) ||
        !PatGetDeviceName(PAT_DEVICE_INPUT_TRAY, "Bypass Tray", DEVICE_KEY_TEXT, name, &length)) {
        fprintf(stderr, "PatGetDeviceName failed: %lu\n", (unsigned long)GetLastError());
        return 1;
    }
    printf("installed host: patprn %08lx, %s\n", (unsigned long)version.dwFileVersion, name);
    return 0;
}
