#include <string>
#include <vector>

#include "platform/NativePlatform.h"
#include "startup/CommandLine.h"
#include "ui/qt/QtProgram.h"

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    stowaway::NativePlatform platform;
    return stowaway::RunStowaway(argc, argv, platform, stowaway::JoinArguments(arguments));
}
