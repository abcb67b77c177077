#pragma once

#include <cstddef>
#include <cstdint>

namespace vorlith::fuzz {

// Each takes one input as libFuzzer gives it, checks what must hold whatever the bytes, and
// aborts when it does not. The fuzzer builds (fuzz/entry/, scripts/fuzz) and the corpus
// replay among the tests (tests/fuzz/) call the same functions.

// The PNG chunk walk, and the fast PNG decoder that stands on it.
void pngChunks(const std::uint8_t* data, std::size_t size);
// The import's probe, as for a file and as for clipboard data.
void imageProbe(const std::uint8_t* data, std::size_t size);
// Probe, then decode what the probe admits (up to a pixel count the fuzzer can afford).
void imageDecode(const std::uint8_t* data, std::size_t size);
// The settings file's reader and the schema scan of files too large to read whole.
void settingsRead(const std::uint8_t* data, std::size_t size);

// Makes the application object image readers need; idempotent.
void initialize();

} // namespace vorlith::fuzz
