// 8-bit string functions and wsprintfA.
#include "platform/win32.h"

#include <cstring>

/* lstrcpynA */
extern "C" LPSTR lstrcpynA(LPSTR dst, LPCSTR src, int count) {
    // Copies at most count - 1 characters and always terminates (count > 0).
    if (dst == nullptr || src == nullptr || count <= 0) return dst;
    int i = 0;
    for (; i < count - 1 && src[i] != '\0'; ++i) dst[i] = src[i];
    dst[i] = '\0';
    return dst;
}

/* lstrlenA */
extern "C" int lstrlenA(LPCSTR text) { return text == nullptr ? 0 : static_cast<int>(std::strlen(text)); }

namespace {

constexpr int kWsprintfMax = 1024;  // wsprintfA never writes more than this

int AppendDecimal(char *out, int pos, uint32_t value) {
    char digits[16];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n > 0 && pos < kWsprintfMax - 1) out[pos++] = digits[--n];
    return pos;
}

// The conversions the library formats with: %s and %u with an optional l.
// As on Windows, "l" is 32 bits wide: "%lu" formats a 32-bit unsigned. Any
// other character after "%" is written as it is.
int FormatText(LPSTR out, LPCSTR format, va_list args) {
    int pos = 0;
    for (const char *f = format; *f != '\0' && pos < kWsprintfMax - 1; ++f) {
        if (*f != '%') {
            out[pos++] = *f;
            continue;
        }
        ++f;
        if (*f == 'l') ++f;
        switch (*f) {
            case 's': {
                const char *s = va_arg(args, const char *);
                if (s == nullptr) s = "(null)";
                while (*s != '\0' && pos < kWsprintfMax - 1) out[pos++] = *s++;
                break;
            }
            case 'u': pos = AppendDecimal(out, pos, va_arg(args, uint32_t)); break;
            case '\0': --f; break;
            default: out[pos++] = *f; break;
        }
    }
    out[pos] = '\0';
    return pos;
}

}  // namespace

/* wsprintfA */
extern "C" int wsprintfA(LPSTR out, LPCSTR format, ...) {
    va_list args;
    va_start(args, format);
    int n = FormatText(out, format, args);
    va_end(args);
    return n;
}
