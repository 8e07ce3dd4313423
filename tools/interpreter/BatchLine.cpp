#include "BatchLine.h"

#include "platform/CommandLineSplit.h"

namespace interp {

bool ParseBatchLine(const std::string& line, BatchCommand& out, std::string& error) {
    out = BatchCommand{};
    std::string command;
    bool quoted = false;
    size_t i = 0;
    const size_t n = line.size();
    while (i < n) {
        const char c = line[i];
        if (c == '"') quoted = !quoted;
        if (c != '>' || quoted) {
            command += c;
            ++i;
            continue;
        }
        out.append = i + 1 < n && line[i + 1] == '>';
        i += out.append ? 2 : 1;
        while (i < n && (line[i] == ' ' || line[i] == '\t')) ++i;
        std::string file;
        if (i < n && line[i] == '"') {
            const size_t close = line.find('"', i + 1);
            const size_t end = close == std::string::npos ? n : close;
            file = line.substr(i + 1, end - i - 1);
            i = close == std::string::npos ? n : close + 1;
        } else {
            // Unquoted, the name runs to the end of the line (or the next '>'):
            // the backup program writes paths with blanks unquoted here.
            while (i < n && line[i] != '>') file += line[i++];
            while (!file.empty() && (file.back() == ' ' || file.back() == '\t')) file.pop_back();
        }
        if (file.empty()) {
            error = "no file named after '>'";
            return false;
        }
        out.outputFile = file;
        command += ' ';
    }
    out.args = stowaway::SplitCommandLine(command);
    return true;
}

std::vector<std::string> SplitBatchLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n') {
            line += c;
            continue;
        }
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        lines.push_back(std::move(line));
        line.clear();
    }
    if (!line.empty()) lines.push_back(std::move(line));
    return lines;
}

}  // namespace interp
