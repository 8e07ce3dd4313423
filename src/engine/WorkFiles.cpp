#include "engine/WorkFiles.h"

#include "engine/JobContext.h"

namespace stowaway {

WorkFiles WorkFilePaths(const JobContext& ctx) {
    return {ctx.programFile("SWTemp.bat"), ctx.programFile("SWHeader.dat"),
            ctx.programFile("SWTemp.lst"), ctx.programFile("SWTemp.dat")};
}

bool EmptyWorkFiles(const JobContext& ctx, std::initializer_list<std::string> paths) {
    for (const std::string& path : paths) {
        ctx.platform.removeFile(path);
        if (!ctx.platform.makeEmptyFile(path)) {
            ReportWorkFileFailure(ctx, path);
            return false;
        }
    }
    return true;
}

void ReportWorkFileFailure(const JobContext& ctx, const std::string& path) {
    const std::string text = "The work file \"" + path +
                             "\" cannot be written, so nothing was run. Make sure the program's "
                             "folder can be written to and the disk is not full.";
    ctx.job.RunErrors.push_back(text);
    ctx.ui.messageBox(text, "Error", MsgButtons::OK, MsgIcon::Exclamation);
}

}  // namespace stowaway
