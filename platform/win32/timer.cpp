// Sleep, GetTickCount and the multimedia timer; headless runs read the virtual clock.
#include <chrono>
#include <thread>

#include <mmsystem.h>
#include <windows.h>

#include "glomp/headless.h"
#include "win32/internal.h"

namespace {
DWORD RealMilliseconds() {
  using namespace std::chrono;
  static const steady_clock::time_point start = steady_clock::now();
  return static_cast<DWORD>(duration_cast<milliseconds>(steady_clock::now() - start).count());
}
}  // namespace

DWORD timeGetTime() {
  if (glomp::headless::IsEnabled()) return glomp::headless::detail::ReadClock();
  return RealMilliseconds();
}

DWORD GetTickCount() { return timeGetTime(); }

// The steady clock already has millisecond resolution; periods are only checked.
MMRESULT timeBeginPeriod(UINT period) { return period >= 1 ? TIMERR_NOERROR : TIMERR_NOCANDO; }
MMRESULT timeEndPeriod(UINT period) { return period >= 1 ? TIMERR_NOERROR : TIMERR_NOCANDO; }

void Sleep(DWORD milliseconds) {
  if (glomp::headless::IsEnabled()) {
    glomp::headless::detail::SleepFor(milliseconds);
    return;
  }
  if (milliseconds == 0) {
    std::this_thread::yield();
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
}
