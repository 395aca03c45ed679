#include "web/NamedReferenceTable.h"

#include <iterator>

namespace corvane::CharacterReferences {

// The rows are data made by tools/named_references.py from the HTML standard's table.
const NamedReference kNamedReferences[] = {
#include "web/NamedReferences.inc"
};

const std::size_t kNamedReferenceCount = std::size(kNamedReferences);

} // namespace corvane::CharacterReferences
