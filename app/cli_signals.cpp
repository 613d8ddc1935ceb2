#include "app/cli_signals.h"

#include <csignal>

namespace veldra {
namespace {

RunControl* stop_control = nullptr;
volatile std::sig_atomic_t stop_signal = 0;

// Only async-signal-safe work: a lock-free atomic store and a sig_atomic_t.
extern "C" void OnStopSignal(int signal_number) {
  if (stop_signal == 0) stop_signal = signal_number;
  if (stop_control != nullptr) stop_control->RequestStop();
}

}  // namespace

void StopOnSignals(RunControl& control) {
  static_assert(std::atomic<bool>::is_always_lock_free);
  stop_control = &control;
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  // SA_RESETHAND: the default action comes back, so a second Ctrl+C ends the program at once.
  // SA_RESTART: reads and writes of the run go on after the handler.
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

int StopSignalReceived() { return stop_signal; }

}  // namespace veldra
