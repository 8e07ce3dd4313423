// A program for the process tests to start: prints its arguments, echoes the
// first line of its standard input and exits with the status its first argument
// names. "wait" as the first argument: it waits for input and never exits on its own.
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>

int main(int argc, char** argv) {
    const std::string first = argc > 1 ? argv[1] : "0";
    for (int i = 1; i < argc; ++i) std::cout << "argument: " << argv[i] << "\n";
    std::cout << std::flush;
    std::string line;
    if (first == "wait") {
        for (;;)
            if (!std::getline(std::cin, line)) {
                std::cin.clear();
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
    }
    if (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::cout << "got: " << line << std::endl;
    }
    return std::atoi(first.c_str());
}
