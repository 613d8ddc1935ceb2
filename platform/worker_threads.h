#pragma once
// Starting the threads a piece of work is spread over.

#include <cstddef>
#include <functional>
#include <thread>
#include <vector>

namespace veldra {

// Starts up to `count` threads, the i-th running work(i), and returns those started: none when
// count is 0, fewer when the system refuses more. Work a thread was not started for is the
// caller's to do inline, so every user of threads also works with none.
std::vector<std::thread> StartThreads(size_t count, const std::function<void(size_t)>& work);

// Joins every thread of StartThreads.
void JoinThreads(std::vector<std::thread>& threads);

}  // namespace veldra
