#include "support/PasswordProbe.h"

#include <sys/stat.h>

#include <sstream>

#include "support/TestPlatforms.h"

namespace stowaway::test {

void WritePasswordProbe(const std::string& path) {
    WriteFile(path, R"(#!/usr/bin/env python3
import os, sys
here = os.path.dirname(os.path.abspath(sys.argv[0]))
fds = []
for fd in range(256):
    try:
        os.fstat(fd)
        fds.append(fd)
    except OSError:
        pass
named = None
for arg in sys.argv[1:]:
    if arg.lower().startswith('-password-fd='):
        named = int(arg.split('=', 1)[1])
secret = b''
opened = named is not None and named in fds
if opened:
    while True:
        chunk = os.read(named, 4096)
        if not chunk:
            break
        secret += chunk
with open(os.path.join(here, 'probe-report.txt'), 'a') as report:
    report.write('fds=%s secret=%s named=%d\n' % (','.join(map(str, fds)), secret.hex(), opened))
for name, source in (('cmdline', '/proc/self/cmdline'), ('environ', '/proc/self/environ'),
                     ('parent-cmdline', '/proc/%d/cmdline' % os.getppid()),
                     ('parent-environ', '/proc/%d/environ' % os.getppid())):
    with open(source, 'rb') as src, open(os.path.join(here, 'probe-' + name), 'wb') as dst:
        dst.write(src.read())
)");
    ::chmod(path.c_str(), 0755);
}

std::vector<ProbeRun> ReadProbeReport(const std::string& folder) {
    std::vector<ProbeRun> runs;
    std::istringstream in(ReadFile(folder + "/probe-report.txt"));
    std::string fds, secret, named;
    while (in >> fds >> secret >> named) {
        ProbeRun run;
        std::istringstream list(fds.substr(4));
        std::string number;
        while (std::getline(list, number, ','))
            if (!number.empty()) run.descriptors.push_back(std::stoi(number));
        const std::string hex = secret.substr(7);
        for (std::size_t at = 0; at + 1 < hex.size(); at += 2)
            run.secret += static_cast<char>(std::stoi(hex.substr(at, 2), nullptr, 16));
        run.named = named == "named=1";
        runs.push_back(run);
    }
    return runs;
}

}  // namespace stowaway::test
