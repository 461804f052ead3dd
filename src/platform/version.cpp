// Module file names and file version information. The only version
// resource there is is the one embedded in the library (resource.cpp); a
// file holds it exactly when the file is the library's own.
#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/win32.h"

extern "C" const unsigned char patprn_resource_image[];

namespace {

// Windows keeps a text value's ANSI copy in the second half of the block
// that GetFileVersionInfoSizeA asks for: twice the resource, plus four
// bytes for a signature. The size stays so that hosts see Windows' numbers.
DWORD VersionBlockSize(DWORD resourceSize) { return resourceSize * 2 + 4; }

// Writes the executable's path into `path`; returns its length or 0.
size_t ExecutablePath(char (&path)[PATH_MAX]) {
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return 0;
    path[n] = '\0';
    return static_cast<size_t>(n);
}

// Writes the full path of the file that holds `module` into `path` and
// returns its length; 0 for a module that is not the library's, or the
// executable's (null). Linked into a program, the library's file is the
// program's.
size_t ModuleFilePath(HMODULE module, char (&path)[PATH_MAX]) {
    if (module == nullptr) return ExecutablePath(path);
    if (module != patprn::platform::ThisModule()) return 0;
    Dl_info info;
    struct link_map *map = nullptr;
    if (dladdr1(patprn_resource_image, &info, reinterpret_cast<void **>(&map), RTLD_DL_LINKMAP) == 0 ||
        map == nullptr) {
        return 0;
    }
    if (map->l_name == nullptr || map->l_name[0] == '\0') return ExecutablePath(path);
    if (realpath(map->l_name, path) == nullptr) {
        if (std::strlen(map->l_name) >= sizeof path) return 0;
        std::strcpy(path, map->l_name);
    }
    return std::strlen(path);
}

// The Windows error for a file that stat could not find: a missing
// directory on the way is ERROR_PATH_NOT_FOUND.
DWORD MissingFileError(LPCSTR filename, int error) {
    if (error == EACCES) return ERROR_ACCESS_DENIED;
    if (error == ENOTDIR) return ERROR_PATH_NOT_FOUND;
    if (error != ENOENT) return ERROR_FILE_NOT_FOUND;
    const char *slash = std::strrchr(filename, '/');
    if (slash == nullptr || slash == filename) return ERROR_FILE_NOT_FOUND;
    char parent[PATH_MAX];
    const size_t length = static_cast<size_t>(slash - filename);
    if (length >= sizeof parent) return ERROR_PATH_NOT_FOUND;
    std::memcpy(parent, filename, length);
    parent[length] = '\0';
    struct stat st;
    return stat(parent, &st) == 0 && S_ISDIR(st.st_mode) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

// True for an executable image (ELF), which can hold resources; Windows
// tells an image without a version resource from a file that is no image.
bool IsExecutableImage(LPCSTR filename) {
    const int fd = open(filename, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    unsigned char magic[4] = {};
    const ssize_t n = read(fd, magic, sizeof magic);
    close(fd);
    return n == 4 && magic[0] == 0x7F && magic[1] == 'E' && magic[2] == 'L' && magic[3] == 'F';
}

// Finds the version resource of the file `filename`: 0 and the resource,
// or the Windows error.
DWORD FindVersionResource(LPCSTR filename, const unsigned char **data, DWORD *size) {
    if (filename == nullptr) return ERROR_INVALID_PARAMETER;
    struct stat file;
    if (stat(filename, &file) != 0) return MissingFileError(filename, errno);
    if (S_ISDIR(file.st_mode)) return ERROR_ACCESS_DENIED;

    char own[PATH_MAX];
    struct stat module;
    const bool isModule = ModuleFilePath(patprn::platform::ThisModule(), own) != 0 && stat(own, &module) == 0 &&
                          module.st_dev == file.st_dev && module.st_ino == file.st_ino;
    if (!isModule) return IsExecutableImage(filename) ? ERROR_RESOURCE_TYPE_NOT_FOUND : ERROR_RESOURCE_DATA_NOT_FOUND;

    HMODULE self = patprn::platform::ThisModule();
    HRSRC res = FindResourceA(self, MAKEINTRESOURCEA(VS_VERSION_INFO), RT_VERSION);
    if (res == nullptr) return GetLastError();
    *data = static_cast<const unsigned char *>(LockResource(LoadResource(self, res)));
    *size = SizeofResource(self, res);
    return *data != nullptr ? ERROR_SUCCESS : GetLastError();
}

// One node of a version block: wLength, wValueLength, wType, a UTF-16
// key, the value, then the children, each part DWORD-aligned from the
// block's start.
struct VersionNode {
    const unsigned char *key;
    const unsigned char *value;
    const unsigned char *children;
    const unsigned char *end;
    WORD valueLength;  // bytes for binary values, UTF-16 units for text
    WORD type;         // 0 binary, 1 text
};

constexpr WORD kVersionTextValue = 1;

WORD ReadWord(const unsigned char *p) {
    WORD value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

const unsigned char *AlignInBlock(const unsigned char *block, const unsigned char *p) {
    return block + ((static_cast<size_t>(p - block) + 3) & ~size_t{3});
}

// Reads the node at `start`, no further than `limit`.
bool ReadVersionNode(const unsigned char *block, const unsigned char *start, const unsigned char *limit,
                     VersionNode *node) {
    if (limit - start < 6) return false;
    const WORD length = ReadWord(start);
    if (length < 6 || length > limit - start) return false;
    node->end = start + length;
    node->valueLength = ReadWord(start + 2);
    node->type = ReadWord(start + 4);
    node->key = start + 6;
    const unsigned char *p = node->key;
    while (node->end - p >= 2 && ReadWord(p) != 0) p += 2;
    if (node->end - p < 2) return false;
    node->value = AlignInBlock(block, p + 2);
    const size_t valueBytes = node->type == kVersionTextValue ? size_t{node->valueLength} * 2 : node->valueLength;
    if (node->value > node->end || valueBytes > static_cast<size_t>(node->end - node->value)) return false;
    node->children = AlignInBlock(block, node->value + valueBytes);
    if (node->children > node->end) node->children = node->end;
    return true;
}

// Keys compare without regard to (ASCII) case.
bool KeyEquals(const unsigned char *key, const char *name, size_t nameLength) {
    for (size_t i = 0; i < nameLength; ++i, key += 2) {
        unsigned a = ReadWord(key);
        unsigned b = static_cast<unsigned char>(name[i]);
        if (a >= 'a' && a <= 'z') a -= 'a' - 'A';
        if (b >= 'a' && b <= 'z') b -= 'a' - 'A';
        if (a != b) return false;
    }
    return ReadWord(key) == 0;
}

bool FindChild(const unsigned char *block, const VersionNode &parent, const char *name, size_t nameLength,
               VersionNode *child) {
    const unsigned char *p = parent.children;
    while (p < parent.end && ReadVersionNode(block, p, parent.end, child)) {
        if (KeyEquals(child->key, name, nameLength)) return true;
        p = AlignInBlock(block, child->end);
    }
    return false;
}

}  // namespace

/* GetModuleFileNameA */
extern "C" DWORD GetModuleFileNameA(HMODULE module, LPSTR filename, DWORD size) {
    char path[PATH_MAX];
    const size_t length = ModuleFilePath(module, path);
    if (length == 0) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (length < size) {
        std::memcpy(filename, path, length + 1);
        SetLastError(ERROR_SUCCESS);
        return static_cast<DWORD>(length);
    }
    // Truncated to the buffer, terminator included; the result is the
    // buffer's size.
    std::memcpy(filename, path, size - 1);
    filename[size - 1] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
}

/* GetFileVersionInfoSizeA */
extern "C" DWORD GetFileVersionInfoSizeA(LPCSTR filename, DWORD *handle) {
    if (handle != nullptr) *handle = 0;
    const unsigned char *data = nullptr;
    DWORD size = 0;
    const DWORD error = FindVersionResource(filename, &data, &size);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return 0;
    }
    SetLastError(ERROR_SUCCESS);
    return VersionBlockSize(size);
}

/* GetFileVersionInfoA */
extern "C" BOOL GetFileVersionInfoA(LPCSTR filename, DWORD, DWORD len, LPVOID data) {
    if (data == nullptr) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    const unsigned char *resource = nullptr;
    DWORD size = 0;
    const DWORD error = FindVersionResource(filename, &resource, &size);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    const DWORD copied = len < size ? len : size;
    std::memcpy(data, resource, copied);
    // A short buffer gets the start of the block; its length then says
    // what was copied, so that VerQueryValueA stays inside the buffer.
    if (copied < size && copied >= sizeof(WORD)) {
        WORD length = ReadWord(static_cast<unsigned char *>(data));
        if (length > copied) length = static_cast<WORD>(copied);
        std::memcpy(data, &length, sizeof length);
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

/* VerQueryValueA */
extern "C" BOOL VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID *buffer, UINT *len) {
    if (block == nullptr || buffer == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const auto *base = static_cast<const unsigned char *>(block);
    VersionNode node;
    if (!ReadVersionNode(base, base, base + ReadWord(base), &node)) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    const bool root = subBlock == nullptr || std::strspn(subBlock, "\\") == std::strlen(subBlock);
    for (const char *p = subBlock == nullptr ? "" : subBlock; *p != '\0';) {
        p += std::strspn(p, "\\");
        const size_t nameLength = std::strcspn(p, "\\");
        if (nameLength == 0) break;
        VersionNode child;
        if (!FindChild(base, node, p, nameLength, &child)) {
            SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
            return FALSE;
        }
        node = child;
        p += nameLength;
    }
    if (root) {
        VS_FIXEDFILEINFO fixed;
        if (node.valueLength < sizeof fixed) return FALSE;
        std::memcpy(&fixed, node.value, sizeof fixed);
        if (fixed.dwSignature != VS_FFI_SIGNATURE) return FALSE;
    }
    // Text values would need an ANSI copy; the library reads binary ones only.
    if (node.type == kVersionTextValue) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return FALSE;
    }
    *buffer = const_cast<unsigned char *>(node.value);
    if (len != nullptr) *len = node.valueLength;
    return TRUE;
}
