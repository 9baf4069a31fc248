// oxbrook-store: the table store from the command line (see README).

#include "tools/store_tool.h"

#include <iostream>
#include <termios.h>
#include <unistd.h>

namespace {

// Reads the password of an encrypted store from the terminal without echo, or a line from a
// pipe.
bool askPassword(const std::string& file, std::string& password) {
    bool tty = isatty(STDIN_FILENO);
    termios saved{};
    if (tty) {
        std::cerr << "Password for " << file << ": " << std::flush;
        tcgetattr(STDIN_FILENO, &saved);
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    bool ok = static_cast<bool>(std::getline(std::cin, password));
    if (tty) {
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
        std::cerr << '\n';
    }
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::ios::sync_with_stdio(false);
    int status = storetool::RunStoreTool(args, std::cout, std::cerr, askPassword);
    std::cout.flush();
    return status;
}
