// The library's export table holds exactly the Pat* functions (and, in the
// Linux build, the host-facing platform functions), undecorated.
#include "expected_exports.h"
#include "patprn/patprn.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <elf.h>
#include <link.h>
#endif

namespace {

std::set<std::string> ExpectedNames() {
    std::set<std::string> names(std::begin(kExpectedExports), std::end(kExpectedExports));
#ifndef _WIN32
    names.insert(std::begin(kExpectedPlatformExports), std::end(kExpectedPlatformExports));
#endif
    return names;
}

#ifdef _WIN32
// Names in the export directory of the loaded patprn.dll.
std::set<std::string> ExportedNames() {
    std::set<std::string> names;
    HMODULE module = GetModuleHandleA(PATPRN_LIBRARY_FILE);
    if (module == nullptr) return names;
    auto *base = reinterpret_cast<const uint8_t *>(module);
    auto *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
    auto *nt = reinterpret_cast<const IMAGE_NT_HEADERS64 *>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY &dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    auto *exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY *>(base + dir.VirtualAddress);
    auto *name_rvas = reinterpret_cast<const DWORD *>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        names.insert(reinterpret_cast<const char *>(base + name_rvas[i]));
    }
    EXPECT_EQ(exports->NumberOfFunctions, exports->NumberOfNames) << "every export has a name";
    return names;
}
#else
// Defined global symbols in the dynamic symbol table of libpatprn.so.
std::set<std::string> ExportedNames() {
    std::set<std::string> names;
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&PatGetDllVersion), &info) == 0) return names;
    std::ifstream file(info.dli_fname, std::ios::binary);
    std::vector<char> image((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (image.size() < sizeof(Elf64_Ehdr)) return names;
    auto *header = reinterpret_cast<const Elf64_Ehdr *>(image.data());
    auto *sections = reinterpret_cast<const Elf64_Shdr *>(image.data() + header->e_shoff);
    for (int i = 0; i < header->e_shnum; ++i) {
        if (sections[i].sh_type != SHT_DYNSYM) continue;
        const char *strings = image.data() + sections[sections[i].sh_link].sh_offset;
        auto *symbols = reinterpret_cast<const Elf64_Sym *>(image.data() + sections[i].sh_offset);
        size_t count = sections[i].sh_size / sizeof(Elf64_Sym);
        for (size_t s = 0; s < count; ++s) {
            const Elf64_Sym &sym = symbols[s];
            if (sym.st_shndx == SHN_UNDEF || ELF64_ST_BIND(sym.st_info) == STB_LOCAL || sym.st_name == 0) continue;
            if (ELF64_ST_TYPE(sym.st_info) != STT_FUNC && ELF64_ST_TYPE(sym.st_info) != STT_OBJECT) continue;
            names.insert(strings + sym.st_name);
        }
    }
    return names;
}
#endif

TEST(Exports, TableHoldsExactlyTheLibraryFunctions) {
    const std::set<std::string> exported = ExportedNames();
    ASSERT_FALSE(exported.empty()) << "export table of " PATPRN_LIBRARY_FILE " could not be read";
    EXPECT_EQ(exported, ExpectedNames());
}

}  // namespace
