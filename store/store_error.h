#pragma once
// The one error type of the table store. Every failure of the engine is raised as EStoreError
// carrying the message text the user sees.

#include <cstdio>
#include <stdexcept>
#include <string>
#include <utility>

namespace store {

class EStoreError : public std::runtime_error {
public:
    explicit EStoreError(const std::string& message) : std::runtime_error(message) {}
};

// Formats a message with printf-style placeholders ("%s", "%d") as the store's texts use them.
template <typename... Args> std::string FormatMessage(const char* format, Args&&... args) {
    int n = std::snprintf(nullptr, 0, format, std::forward<Args>(args)...);
    std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    if (n > 0) std::snprintf(out.data(), out.size() + 1, format, std::forward<Args>(args)...);
    return out;
}

} // namespace store
