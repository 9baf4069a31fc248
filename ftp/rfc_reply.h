// One server reply: its code and text lines.
#pragma once

#include <string>
#include <vector>

class TNetRFCReply {
public:
    // Returns the numeric code (0 when the code is not a number).
    int NumericCode() const { return numericCode; }
    // Sets the code; a value above 0 also sets TextCode to its decimal text.
    void SetNumericCode(int code);
    // Returns the code as received.
    const std::string& TextCode() const { return textCode; }
    // Sets the code text; a non-empty value also sets NumericCode (0 when not an integer).
    void SetTextCode(const std::string& code);

    // The text lines, one per received line, each without its first four characters.
    std::vector<std::string> Text;

    // Empties code and text.
    void Clear();
    // Returns the lines of Text, each followed by CR LF.
    std::string TextWithLineEnds() const;

private:
    int numericCode = 0;
    std::string textCode;
};
