// 8-bit string functions and wsprintfA.
#include "platform/win32.h"

#include <cstring>

/* lstrcmpA */
extern "C" int lstrcmpA(LPCSTR a, LPCSTR b) {
    // Windows treats a null pointer as the empty string.
    if (a == nullptr) a = "";
    if (b == nullptr) b = "";
    int r = std::strcmp(a, b);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

/* lstrcpyA */
extern "C" LPSTR lstrcpyA(LPSTR dst, LPCSTR src) {
    if (dst == nullptr || src == nullptr) return nullptr;
    std::memmove(dst, src, std::strlen(src) + 1);
    return dst;
}

/* lstrcpynA */
extern "C" LPSTR lstrcpynA(LPSTR dst, LPCSTR src, int count) {
    // Copies at most count - 1 characters and always terminates (count > 0).
    if (dst == nullptr || src == nullptr || count <= 0) return dst;
    int i = 0;
    for (; i < count - 1 && src[i] != '\0'; ++i) dst[i] = src[i];
    dst[i] = '\0';
    return dst;
}

/* lstrcatA */
extern "C" LPSTR lstrcatA(LPSTR dst, LPCSTR src) {
    if (dst == nullptr || src == nullptr) return nullptr;
    std::memmove(dst + std::strlen(dst), src, std::strlen(src) + 1);
    return dst;
}

/* lstrlenA */
extern "C" int lstrlenA(LPCSTR text) { return text == nullptr ? 0 : static_cast<int>(std::strlen(text)); }

namespace {

constexpr int kWsprintfMax = 1024;  // wsprintfA never writes more than this

int AppendUnsigned(char *out, int pos, uint32_t value, unsigned base) {
    char digits[16];
    int n = 0;
    do {
        unsigned d = value % base;
        digits[n++] = static_cast<char>(d < 10 ? '0' + d : 'a' + d - 10);
        value /= base;
    } while (value != 0);
    while (n > 0 && pos < kWsprintfMax - 1) out[pos++] = digits[--n];
    return pos;
}

}  // namespace

/* wvsprintfA */
extern "C" int wvsprintfA(LPSTR out, LPCSTR format, va_list args) {
    // The conversions the library uses: %s %c %d %u %x %% with an optional l.
    // As on Windows, "l" is 32 bits wide: "%lu" formats a 32-bit unsigned.
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
            case 'c': out[pos++] = static_cast<char>(va_arg(args, int)); break;
            case 'd': {
                int32_t v = va_arg(args, int32_t);
                uint32_t magnitude = static_cast<uint32_t>(v);
                if (v < 0) {
                    out[pos++] = '-';
                    magnitude = 0u - magnitude;
                }
                pos = AppendUnsigned(out, pos, magnitude, 10);
                break;
            }
            case 'u': pos = AppendUnsigned(out, pos, va_arg(args, uint32_t), 10); break;
            case 'x': pos = AppendUnsigned(out, pos, va_arg(args, uint32_t), 16); break;
            case '\0': --f; break;
            default: out[pos++] = *f; break;
        }
    }
    out[pos] = '\0';
    return pos;
}

/* wsprintfA */
extern "C" int wsprintfA(LPSTR out, LPCSTR format, ...) {
    va_list args;
    va_start(args, format);
    int n = wvsprintfA(out, format, args);
    va_end(args);
    return n;
}
