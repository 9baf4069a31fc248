#include "ftp/escape_text.h"

std::string EscapeControlText(const std::string& text, bool escapeBackslash) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 32 || byte == 127 || (escapeBackslash && c == '\\')) {
            out += "\\x";
            out += digits[byte >> 4];
            out += digits[byte & 15];
        } else {
            out += c;
        }
    }
    return out;
}
