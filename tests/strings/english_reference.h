// The English reference texts, typed apart from the resource file.
#pragma once

#include <cstddef>
#include <cstdint>

namespace strings_test {

// A label and a message shared by up to eight message keys (unused key
// places are 0, which is never a key).
struct MessageRow {
    uint32_t keys[8];
    const char *label;
    const char *message;  // null: no exact text to compare
};

struct KeyedText {
    uint32_t key;
    const char *text;
};

struct NumberedText {
    unsigned number;
    const char *text;
};

extern const uint32_t kPrimaryKeys[120];
extern const uint32_t kAlternateKeys[41];
extern const MessageRow kMessageRows[];
extern const size_t kMessageRowCount;
extern const KeyedText kAlternateMessages[];
extern const size_t kAlternateMessageCount;
extern const NumberedText kShortGroups[];
extern const size_t kShortGroupCount;
extern const NumberedText kNamedNumbers[];
extern const size_t kNamedNumberCount;

}  // namespace strings_test
