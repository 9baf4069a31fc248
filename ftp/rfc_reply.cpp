#include "ftp/rfc_reply.h"

#include <charconv>

void TNetRFCReply::SetNumericCode(int code) {
    numericCode = code;
    if (code > 0) textCode = std::to_string(code);
}

void TNetRFCReply::SetTextCode(const std::string& code) {
    textCode = code;
    if (code.empty()) return;
    int value = 0;
    auto [end, error] = std::from_chars(code.data(), code.data() + code.size(), value);
    numericCode = (error == std::errc() && end == code.data() + code.size()) ? value : 0;
}

void TNetRFCReply::Clear() {
    numericCode = 0;
    textCode.clear();
    Text.clear();
}

std::string TNetRFCReply::TextWithLineEnds() const {
    std::string message;
    for (const auto& line : Text)
        message += line + "\r\n";
    return message;
}
