#include "robustness/case_guard.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(undefined_behavior_sanitizer)
#define QB_HAS_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define QB_HAS_SANITIZER 1
#endif
#ifdef QB_HAS_SANITIZER
#include <sanitizer/common_interface_defs.h>
#endif

namespace robustness {
namespace {

// Written by the test thread, read by signal handlers and the watchdog: plain storage that
// needs no allocation to print.
char g_case[512];
std::atomic<int64_t> g_case_started_ms{0};  // 0 while no case runs

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void PrintCase(const char* why) {
  const char prefix[] = "\n*** damaged-file case ";
  [[maybe_unused]] ssize_t n = write(2, prefix, sizeof prefix - 1);
  n = write(2, why, std::strlen(why));
  n = write(2, ": ", 2);
  n = write(2, g_case, std::strlen(g_case));
  n = write(2, "\n", 1);
}

void OnDeath() {
  if (g_case_started_ms.load() != 0) PrintCase("died");
}

#ifndef QB_HAS_SANITIZER
void OnSignal(int signal) {
  OnDeath();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}
#endif

void Watch() {
  for (;;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const int64_t started = g_case_started_ms.load();
    if (started != 0 && NowMs() - started > kCaseDeadlineSeconds * 1000) {
      PrintCase("hung");
      std::abort();
    }
  }
}

void InstallOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
#ifdef QB_HAS_SANITIZER
    // The sanitizers own the fault signals; they call this before they exit.
    __sanitizer_set_death_callback(OnDeath);
#else
    for (int signal : {SIGSEGV, SIGFPE, SIGILL, SIGABRT}) std::signal(signal, OnSignal);
#ifdef SIGBUS  // Windows has no SIGBUS: a fault there arrives as SIGSEGV
    std::signal(SIGBUS, OnSignal);
#endif
#endif
    std::thread(Watch).detach();
  });
}

}  // namespace

CaseGuard::CaseGuard(const std::string& description) {
  InstallOnce();
  const size_t n = std::min(description.size(), sizeof g_case - 1);
  std::memcpy(g_case, description.data(), n);
  g_case[n] = '\0';
  g_case_started_ms.store(NowMs());
}

CaseGuard::~CaseGuard() { g_case_started_ms.store(0); }

}  // namespace robustness
