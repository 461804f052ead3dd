// The field labels of the text output in the fourteen languages: a small
// table per language.
#pragma once

#include <string>

namespace patmon {

struct Labels {
    const char *language;  // the library's code
    const char *model, *maker, *description, *options, *none, *memory, *versions, *pageCounter, *severity,
        *statusCodes, *note, *level, *levelUnknown, *label, *message;
};

// The labels of a language code; English for a code without a table.
const Labels &LabelsOf(const std::string &language);

// Every table, for the completeness check.
const Labels *AllLabels(size_t *count);

}  // namespace patmon
