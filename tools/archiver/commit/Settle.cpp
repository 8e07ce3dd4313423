#include "Settle.h"

#include <cstdio>

#include "Output.h"
#include "SetCommit.h"

namespace pkzip::commit {

bool SettleInterruptedCommit(const std::string& archive, bool quiet) {
    std::string report;
    switch (Recover(archive, report)) {
        case Recovery::Nothing:
            return true;
        case Recovery::Completed:
        case Recovery::RolledBack: {
            const std::string text = "Archive " + Shown(archive) + ": " + Shown(report);
            if (quiet) {
                std::fprintf(stderr, "%s\n", text.c_str());
                std::fflush(stderr);
            } else {
                Line(text);
            }
            return true;
        }
        case Recovery::Busy:
        case Recovery::Failed:
            break;
    }
    Problem("the archive " + Shown(archive) + " cannot be used now: " + Shown(report));
    return false;
}

}  // namespace pkzip::commit
