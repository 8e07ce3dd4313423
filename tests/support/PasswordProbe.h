#pragma once

#include <string>
#include <vector>

namespace stowaway::test {

// A stand-in for the archiver (a Python script) that records what a password's
// trip gave it: for each run a line in probe-report.txt beside it with its open
// descriptors and, hex-coded, what it read from the descriptor "-password-fd=N"
// names; and copies of its own and its parent's (the interpreter's) command line
// and environment as probe-cmdline, probe-environ, probe-parent-cmdline and
// probe-parent-environ. It prints nothing and ends with status 0.
void WritePasswordProbe(const std::string& path);

struct ProbeRun {
    std::vector<int> descriptors;  // open when it started
    std::string secret;            // read from the named descriptor
    bool named = false;            // the line named one and it was open
};
// The runs recorded in the report beside the probe, oldest first.
std::vector<ProbeRun> ReadProbeReport(const std::string& folder);

}  // namespace stowaway::test
