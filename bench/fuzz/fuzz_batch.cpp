// libFuzzer target: the interpreter's reading of a batch file. Any bytes give
// lines and commands; a command always names its program, and a redirection
// target never holds a line end.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "BatchLine.h"
#include "platform/CommandLineSplit.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (const char* dir = std::getenv("STOWAWAY_FUZZ_SEEDS")) {
        std::ofstream(std::string(dir) + "/seed0")
            << "@ECHO OFF\r\n\"/p/PKZIP25.EXE\" -default -add=all -header=@\"/p/SWHeader.dat\" "
               "-temp=\"/p/\\\\\" -lev=6 -path=full -nofix \"/b/a b.zip\" @\"/p/SWTemp.lst\" > "
               "\"/p/SWTemp.dat\"\r\n";
        std::ofstream(std::string(dir) + "/seed1")
            << "@ECHO ON\rPKZIP25.EXE -extract=all -dir=relative /b/x.zip /r >> /p/out\n";
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (const std::string& line : interp::SplitBatchLines(text)) {
        if (line.find_first_of("\r\n") != std::string::npos) std::abort();
        interp::BatchCommand command;
        std::string error;
        if (!interp::ParseBatchLine(line, command, error)) continue;
        if (command.outputFile.find_first_of("\r\n") != std::string::npos) std::abort();
        (void)stowaway::SplitCommandLine(line);
    }
    return 0;
}
