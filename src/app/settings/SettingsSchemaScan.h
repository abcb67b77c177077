#pragma once

#include <cstdint>
#include <istream>
#include <optional>

namespace vorlith::settingsFile {

// The "schemaVersion" a settings file too large to be read whole declares at its top level,
// found by streaming through it: the scan keeps no more than one token in memory and stops
// at that key's value. Absent when the text is not a JSON object, the key is not found before
// the text (or the stream) ends, or its value is not an integer as the reader takes it.
// Only a newer file needs this answer: one that is never to be written over.
std::optional<std::int64_t> declaredSchemaVersion(std::istream& text);

} // namespace vorlith::settingsFile
