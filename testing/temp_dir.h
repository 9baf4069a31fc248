#pragma once
// A private temporary folder per test, removed with everything in it.

#include <filesystem>
#include <string>

namespace oxbrook::testing {

class TempDir {
public:
    // Creates a fresh folder under the system's temporary folder; raises std::runtime_error
    // when it cannot be made.
    TempDir();
    // Removes the folder and its content; errors are ignored.
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Returns the folder's path.
    const std::filesystem::path& path() const { return path_; }
    // Returns path() / name (nothing is created).
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Writes bytes to a file, replacing it; raises std::runtime_error on failure.
void writeFile(const std::filesystem::path& file, const std::string& bytes);
// Returns the whole content of a file; raises std::runtime_error when it cannot be read.
std::string readFile(const std::filesystem::path& file);

} // namespace oxbrook::testing
