#pragma once
// Finding a program or a parameter from what the user typed: a number, a name in any
// letter case, or (for programs) the unique beginning of a name.

#include <cstddef>
#include <string>
#include <vector>

struct NameMatch {
    int index = -1;               // the entry found, or -1
    bool ambiguous = false;       // several names begin with the text
    bool similar = false;         // the candidates contain the text (else they are all names)
    std::vector<int> candidates;  // when nothing was found: the entries to suggest
};

// Looks `text` up in `names`. A whole number selects by index (when in range). Otherwise a
// name equal to `text` ignoring letter case wins; otherwise, if `allowPrefix`, the one name
// that begins with `text`. With several such names the match is ambiguous and they are the
// candidates; with none, the candidates are the names that contain `text` anywhere, or
// every name when none does. A number out of range has no candidates.
// Names exactly `cutLength` characters long may have been cut short by the interface's
// text buffer; after the equal names, such a name matches a text that begins with it.
NameMatch lookUpName(const std::vector<std::string>& names, const std::string& text, bool allowPrefix,
                     std::size_t cutLength = 0);

// "what" "text": the error message for a failed lookup, listing the candidates with their
// index, e.g. `program "basic" is ambiguous; it could be:`.
std::string describeFailedLookup(const std::string& what, const std::string& text, const NameMatch& match,
                                 const std::vector<std::string>& names);
