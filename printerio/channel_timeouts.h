#pragma once
// The serial time-outs every printer action puts on its device handle before
// it talks to the printer. With the interval and the multiplier at their
// maximum, a read hands back whatever is waiting instead of waiting for a full
// buffer, which is what the one-byte polling of the reply reader needs; a
// write gives up after two seconds rather than hanging on a stuck printer.
#include "platform/device_files.h"

namespace nolpa::printerio {

inline constexpr platform::CommTimeouts kChannelTimeouts{
    0xFFFFFFFF,  // read interval
    0xFFFFFFFF,  // read total multiplier
    0,           // read total constant
    0,           // write total multiplier
    2000,        // write total constant, ms
};

}  // namespace nolpa::printerio
