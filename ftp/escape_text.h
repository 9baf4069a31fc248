// The one escaping of text that came from a server, for every place that shows or prints it.
#pragma once

#include <string>

// Returns text with every control character (codes 0-31 and 127), and every backslash when
// escapeBackslash, written as \xNN (two upper-case hex digits): a terminal or a log must show
// server bytes, never obey them. A line break becomes \x0A too; callers that keep lines split
// them first. Bytes from 128 up (UTF-8) pass unchanged.
std::string EscapeControlText(const std::string& text, bool escapeBackslash = false);
