// What every fuzz target defines: the one entry point that libFuzzer calls in a fuzzing build
// and the replay driver (replay_main.cpp) calls for each corpus file in the ordinary build.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
