#include "cli/signals.h"

#include <csignal>

#include "output/temporary_files.h"

namespace tarvik {

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void RemoveTemporariesAndStop(int signal) {
  RemoveTemporaryFiles();
  // The default action ends the process with the signal, so the caller
  // still sees it as killed by that signal.
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
  raise(signal);
}

}  // namespace

void InstallSignalHandlers() {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGXFSZ, &ignore, nullptr);

  for (int signal : kStopSignals) {
    struct sigaction previous {};
    sigaction(signal, nullptr, &previous);
    // A signal ignored by whoever started us (nohup, a background job)
    // stays ignored.
    if (previous.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = RemoveTemporariesAndStop;
    sigemptyset(&action.sa_mask);
    for (int other : kStopSignals) sigaddset(&action.sa_mask, other);
    action.sa_flags = SA_RESETHAND;
    sigaction(signal, &action, nullptr);
  }
}

}  // namespace tarvik
