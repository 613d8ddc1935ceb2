#include "platform/worker_threads.h"

#include <system_error>

namespace veldra {

std::vector<std::thread> StartThreads(size_t count, const std::function<void(size_t)>& work) {
  std::vector<std::thread> threads;
  threads.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    try {
      threads.emplace_back(work, i);
    } catch (const std::system_error&) {
      break;  // out of threads: the caller does the rest
    }
  }
  return threads;
}

void JoinThreads(std::vector<std::thread>& threads) {
  for (std::thread& thread : threads) thread.join();
  threads.clear();
}

}  // namespace veldra
