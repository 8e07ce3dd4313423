#include "platform/os/Process.h"

namespace stowaway::os {

namespace {

void AppendQuoted(std::string& line, const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
        line += argument;
        return;
    }
    line += '"';
    std::size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count only before a quote: doubled there, and the quote escaped.
        if (c == '"')
            line.append(backslashes * 2 + 1, '\\');
        else
            line.append(backslashes, '\\');
        backslashes = 0;
        line += c;
    }
    // Before the closing quote, too.
    line.append(backslashes * 2, '\\');
    line += '"';
}

}  // namespace

std::string QuoteCommandLine(const std::vector<std::string>& arguments) {
    std::string line;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0) {
            line += ' ';
            AppendQuoted(line, arguments[i]);
        } else {
            // The program's name is read quoted or up to a blank, backslashes as they are;
            // a quote cannot be part of a file name.
            line += '"' + arguments[0] + '"';
        }
    }
    return line;
}

}  // namespace stowaway::os
