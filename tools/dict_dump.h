// Lists a dictionary's contents through the same windowed reader and decoder
// the search uses: every record of one direction's index section in index
// order, with the decoded headword of every record its references point at.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "dict/direction.h"
#include "dict/file_source.h"

namespace lexvia {

// Called once per reference, or once with no translation for a record
// without references.
using DumpSink =
    std::function<void(std::string_view headword, std::optional<std::string_view> translation)>;

// Returns an error message when the file is not a dictionary or its tables
// cannot be read. A damaged section ends the walk early; it never leaves the
// section or the file.
std::optional<std::string> dump_dictionary(FileSource& file, Direction direction,
                                           const DumpSink& sink);

}  // namespace lexvia
