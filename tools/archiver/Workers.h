// Runs one job on several threads at once: the calling thread and up to
// `threads` - 1 helpers, each taking work from the same shared queue until it
// is empty. A helper that cannot be started leaves its share to the others.
#pragma once

#include <system_error>
#include <thread>
#include <vector>

namespace pkzip {

template <typename Work>
void RunOnThreads(size_t threads, Work&& work) {
    std::vector<std::thread> helpers;
    for (size_t t = 1; t < threads; ++t) {
        try {
            helpers.emplace_back([&work] { work(); });
        } catch (const std::system_error&) {
            break;
        }
    }
    work();
    for (std::thread& h : helpers) h.join();
}

}  // namespace pkzip
