// Strict JSON objects for patmon's files (scenarios, the fleet config): a
// key the reader does not know is an error, so a misspelt one is never
// silently ignored.
#pragma once

#include <initializer_list>
#include <stdexcept>
#include <string>

namespace patmon {

// Throws std::runtime_error naming `where` when `object` is not an object
// or holds a key not in `known`.
template <typename Json>
void CheckKeys(const Json &object, std::initializer_list<const char *> known, const std::string &where) {
    if (!object.is_object()) throw std::runtime_error(where + " must be an object");
    for (const auto &[key, value] : object.items()) {
        bool found = false;
        for (const char *name : known) found = found || key == name;
        if (found) continue;
        std::string valid;
        for (const char *name : known) valid += (valid.empty() ? "" : ", ") + std::string(name);
        throw std::runtime_error("unknown key \"" + key + "\" in " + where + " (valid keys: " + valid + ")");
    }
}

}  // namespace patmon
