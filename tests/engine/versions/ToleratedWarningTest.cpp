// The archiver's warning that the old archive has a second name is no error when
// the job made that name itself (a kept version), whether its output is captured
// or shown on a console; any other warning still is.
#include <gtest/gtest.h>

#include "../EngineRig.h"
#include "engine/Runner.h"

namespace stowaway {
namespace {

constexpr const char* OurWarning =
    "PKZIP: warning: the archive /b/Docs.zip had 1 other hard link(s); they keep the old "
    "archive, only this name has the new one";
constexpr const char* Tolerated =
    " had 1 other hard link(s); they keep the old archive, only this name has the new one";

TEST(ToleratedWarning, OnlyTheJobsOwnLinkWarningPasses) {
    const struct {
        const char* what;
        bool captured;
        bool tolerate;
        std::vector<std::string> lines;
        bool ok;
    } cases[] = {
        {"captured, our warning alone", true, true, {OurWarning}, true},
        {"console, our warning alone", false, true, {OurWarning}, true},
        {"captured, not our link", true, false, {OurWarning}, false},
        {"console, not our link", false, false, {OurWarning}, false},
        {"captured, another warning too",
         true,
         true,
         {OurWarning, "PKZIP: warning: /d/a.txt could not be read"},
         false},
        {"console, another warning too",
         false,
         true,
         {"PKZIP: warning: /d/a.txt could not be read", OurWarning},
         false},
    };
    for (const auto& c : cases) {
        test::Rig rig;
        App& a = *rig.app;
        a.job.BatchPath = rig.programFile("SWTemp.bat");
        a.job.OutputPath = rig.programFile("SWTemp.dat");
        rig.write(a.job.OutputPath, "");
        a.job.ArchiverCommand = "\"C:\\Apps\\PKZIP25.EXE\" -default \"D:\\B\\X.zip\"";
        a.job.ArchiverTail = "@\"C:\\Backup\\SWTemp.lst\" > \"C:\\Backup\\SWTemp.dat\"";
        a.FrmMain.ChkHideOutput.setValue(c.captured ? CheckBox::Checked : CheckBox::Unchecked);
        if (c.tolerate) a.job.ToleratedWarning = Tolerated;
        rig.script->exitStatus = ArchiverWarningStatus;
        rig.script->onStart = [&](const std::string&) {
            for (const std::string& line : c.lines) {
                if (c.captured)
                    rig.emit(line);
                else
                    rig.script->console += line + "\r\n";
            }
        };
        EXPECT_EQ(RunArchiver(a.jobContext(), a.job.BatchPath, a.job.OutputPath, JobKind::Backup),
                  c.ok)
            << c.what;
    }
}

}  // namespace
}  // namespace stowaway
