#pragma once
// Types shared by the blob compression and encryption code.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace store {

using ByteVector = std::vector<std::uint8_t>;

// Receives the percentage (0 to 100) of the unit done so far. An empty callback reports nothing.
using ProgressCallback = std::function<void(int percent)>;

} // namespace store
