// Replays every file of the folders (or files) named on the command line through the target's
// entry point, so that the ordinary build checks each seed and every crash once found.

#include "fuzz/fuzz_target.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

namespace fs = std::filesystem;

namespace {

int replay(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    int files = 0;
    for (int i = 1; i < argc; ++i) {
        const fs::path path(argv[i]);
        if (fs::is_directory(path)) {
            for (const auto& entry : fs::directory_iterator(path))
                if (entry.is_regular_file()) files += replay(entry.path());
        } else {
            files += replay(path);
        }
    }
    std::cout << "replayed " << files << " files\n";
    // A corpus that is missing or empty checks nothing: that is a failure too.
    return files > 0 ? 0 : 1;
}
