#pragma once
// Byte sequences that more than one printer action sends.
#include <array>
#include <cstdint>

namespace nolpa::printerio {

// Puts the printer into a known state before anything is asked of it: five
// NULs (ending any half-sent command), ESC = 1 (printer selected), ESC @
// (initialise), GS a 0 and GS j 0 (no automatic status or ink status, so
// nothing unasked comes between a request and its answer).
inline constexpr std::array<std::uint8_t, 16> kResetSequence = {
    0x00, 0x00, 0x00, 0x00, 0x00, 0x1B, 0x3D, 0x01, 0x1B, 0x40, 0x1D, 0x61, 0x00, 0x1D, 0x6A, 0x00};

}  // namespace nolpa::printerio
