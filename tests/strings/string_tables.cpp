#include "string_tables.h"

#include "frame/result.h"

#include <cstdio>
#include <cstring>

namespace strings_test {

const Language kLanguages[14] = {
    {0x0406, "Danish", 1252},    {0x0407, "German", 1252},    {0x0409, "English", 1252},
    {0x040A, "Spanish", 1252},   {0x040B, "Finnish", 1252},   {0x040C, "French", 1252},
    {0x040E, "Hungarian", 1250}, {0x0410, "Italian", 1252},   {0x0411, "Japanese", 932},
    {0x0413, "Dutch", 1252},     {0x0414, "Norwegian", 1252}, {0x0415, "Polish", 1250},
    {0x0416, "Portuguese", 1252}, {0x041D, "Swedish", 1252},
};

std::string Describe(const Language &language) {
    char id[16];
    std::snprintf(id, sizeof id, " (0x%04X)", static_cast<unsigned>(language.id));
    return language.name + std::string(id);
}

const std::u16string *LanguageTable::Find(unsigned number) const {
    auto it = slots.find(number);
    return it == slots.end() ? nullptr : &it->second;
}

namespace {

// Blocks 1 to 4095 hold the numbers 0 to 65519. Block 4096 (65520-65535)
// holds the resource loader's own fixtures, which are no product strings.
constexpr unsigned kLastProductBlock = 4095;

struct FoundBlock {
    const unsigned char *bytes = nullptr;
    DWORD size = 0;
};

FoundBlock Lookup(unsigned block, WORD language) {
    HMODULE module = patprn::ModuleInstance();
    HRSRC res = FindResourceExA(module, RT_STRING, MAKEINTRESOURCEA(block), language);
    if (res == nullptr) return {};
    HGLOBAL loaded = LoadResource(module, res);
    if (loaded == nullptr) return {};
    return {static_cast<const unsigned char *>(LockResource(loaded)), SizeofResource(module, res)};
}

// The loader serves a request in language L with L's own block, else with
// the block of L's primary language with the neutral sublanguage, else with
// the language-neutral block; it looks further (user default, English, any)
// only for a request whose primary language is itself neutral, which none
// of the fourteen is. The part of that order after L itself is exactly how
// a request in L's primary-neutral language is served. So the block found
// for L is L's own unless a request in the primary-neutral language finds
// the very same block. This holds for the Windows loader and for the
// platform layer alike, which share that order; it needs no enumeration
// and no marker text in the tables.
bool IsOwnBlock(unsigned block, WORD language, const FoundBlock &found) {
    FoundBlock fallback = Lookup(block, MAKELANGID(PRIMARYLANGID(language), SUBLANG_NEUTRAL));
    return fallback.bytes != found.bytes;
}

// Splits a block into its 16 strings, each a 16-bit length and that many
// UTF-16 units, reading no further than the block's size.
bool ParseBlock(const FoundBlock &found, unsigned firstNumber, std::map<unsigned, std::u16string> &slots) {
    DWORD offset = 0;
    for (unsigned i = 0; i < 16; ++i) {
        uint16_t length;
        if (found.size - offset < sizeof length) return false;
        std::memcpy(&length, found.bytes + offset, sizeof length);
        offset += sizeof length;
        if ((found.size - offset) / 2 < length) return false;
        std::u16string text(length, u'\0');
        std::memcpy(text.data(), found.bytes + offset, length * 2u);
        offset += length * 2u;
        slots[firstNumber + i] = std::move(text);
    }
    return true;
}

LanguageTable ReadTable(WORD language) {
    LanguageTable table;
    for (unsigned block = 1; block <= kLastProductBlock; ++block) {
        FoundBlock found = Lookup(block, language);
        if (found.bytes == nullptr) continue;
        unsigned first = (block - 1) * 16;
        if (!IsOwnBlock(block, language, found)) {
            table.borrowedBlocks.push_back(first);
        } else if (!ParseBlock(found, first, table.slots)) {
            table.malformedBlocks.push_back(first);
        }
    }
    return table;
}

void AppendUtf8(std::string &out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Walks the code points of a UTF-16 text; a unit of a broken surrogate pair
// comes through on its own, so that it shows up in messages.
template <typename Visit>
void ForEachCodePoint(const std::u16string &text, Visit visit) {
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        visit(c);
    }
}

}  // namespace

const LanguageTable &TableOf(WORD language) {
    static std::map<WORD, LanguageTable> tables;
    auto it = tables.find(language);
    if (it == tables.end()) it = tables.emplace(language, ReadTable(language)).first;
    return it->second;
}

std::string Utf8(const std::u16string &text) {
    std::string out;
    ForEachCodePoint(text, [&](char32_t c) { AppendUtf8(out, c); });
    return out;
}

std::string Quoted(const std::u16string &text) {
    std::string out = "\"";
    ForEachCodePoint(text, [&](char32_t c) {
        if (c == u'\n') {
            out += "\\n";
        } else if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0) || (c >= 0xD800 && c < 0xE000)) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
            out += escape;
        } else {
            AppendUtf8(out, c);
        }
    });
    return out + "\"";
}

}  // namespace strings_test
