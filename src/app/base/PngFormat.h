#pragma once

#include <array>
#include <cstdint>

namespace vorlith::png {

// What our PNG writer and reader agree on: the file signature and the two colour types they
// handle (8 bits per sample, not interlaced).
inline constexpr std::array<std::uint8_t, 8> signature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
inline constexpr std::uint8_t colorTypeRgb = 2;
inline constexpr std::uint8_t colorTypeRgba = 6;

} // namespace vorlith::png
