#pragma once
// The store tool: creates a store with the program's schema, lists its tables, dumps a table's
// records as tab-separated text and checks a store file from end to end.

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace storetool {

// Runs one command line (without the program name). Writes results to out and messages to
// err. Returns the exit status: 0 success, 1 a store error (its message on err), 2 wrong usage.
// askPassword is called for an encrypted store when the environment gives no password; it
// returns false when none can be had.
int RunStoreTool(
    const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
    const std::function<bool(const std::string& file, std::string& password)>& askPassword = {});

// Text as the dump writes it: backslash, tab, CR and LF become \\, \t, \r and \n.
std::string EscapeText(const std::string& text);

} // namespace storetool
