#pragma once
// The text form of a digest (the stored password hash) and the password check against it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace store {

// Returns the text form of the bytes: Base64 alphabet, groups of three bytes (the last one
// completed with zeros), each group's trailing zero sextets left out, then "==" when size % 3
// is 1 and "=" when it is 2. Never raises.
std::string digestText(const std::uint8_t* bytes, std::size_t size);

// Returns the text form of the SHA-0 digest of the password's bytes: what a store file keeps as
// its password hash.
std::string passwordHashText(std::string_view password);

// Returns true when the candidate's password hash text equals the stored hash text exactly.
bool checkPassword(std::string_view candidate, std::string_view storedHashText);

} // namespace store
