#pragma once

#include <initializer_list>
#include <string>

#include "startup/App.h"
#include "startup/Startup.h"
#include "support/TestPlatforms.h"

namespace stowaway::test {

// A program after the interactive start-up, with Crates of the given names in its
// data file (each with the backup location "D:\<name>.zip" in the Windows flavour).
struct StartedProgram {
    explicit StartedProgram(std::initializer_list<std::string> crates = {}, bool windows = true)
        : p(windows), app(*p.app), f(p.app->FrmMain) {
        if (crates.size() > 0) {
            const char sep = p.platform->style().separator();
            const std::string root = windows ? "D:" : p.dir.path();
            std::string data = "\"MAX=" + std::to_string(crates.size() - 1) + "\"\r\n";
            for (const std::string& name : crates)
                data += "\"SNAME=" + name + "\"\r\n\"SBLOC=" + root + sep + name +
                        ".zip\"\r\n\"SRLOC=" + app.ProgramFolder +
                        "\"\r\n\"SCOMP=5\"\r\n\"SUPDATE=0\"\r\n\"SMULTI=0\"\r\n"
                        "\"SFOLDMAX=0\"\r\n\"SFILEMAX=0\"\r\n";
            WriteFile(p.native(app.DataFilePath), data);
        }
        RunInteractiveStartup(app);
    }
    std::string dataFile() const { return ReadFile(p.native(app.DataFilePath)); }
    const CrateRecord& record(int slot) const {
        return app.store.CrateTable[static_cast<std::size_t>(slot)];
    }

    TestProgram p;
    App& app;
    MainForm& f;
};

// How often `what` occurs in `text`.
inline int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

}  // namespace stowaway::test
