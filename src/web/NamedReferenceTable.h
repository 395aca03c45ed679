#pragma once

#include <cstddef>

namespace corvane::CharacterReferences {

// One named character reference of HTML: its name after the "&" (with its ";", or without it for
// the legacy names a browser also reads so), and the one or two characters it stands for.
struct NamedReference {
    const char* name;
    char32_t first;
    char32_t second; // 0 when the name stands for one character
};

// Every name browsers know, sorted by name byte by byte (generated: tools/named_references.py).
extern const NamedReference kNamedReferences[];
extern const std::size_t kNamedReferenceCount;

} // namespace corvane::CharacterReferences
