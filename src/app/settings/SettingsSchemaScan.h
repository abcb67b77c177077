#pragma once

#include <cstdint>
#include <istream>

namespace vorlith::settingsFile {

// Whether a settings file too large to be read whole declares a schema newer than `current`
// at its top level, found by streaming through it: the scan keeps no more than one token in
// memory. Every top-level "schemaVersion" the text holds before it ends (or turns out not to
// be JSON) counts, compared as the reader compares it (as an unsigned number): a file that
// might be a newer version's is one never to be written over, so doubt answers yes.
bool declaresNewerSchema(std::istream& text, std::int64_t current);

} // namespace vorlith::settingsFile
