// Sending, posting and taking messages; timers; calls handed to the UI thread.
#include <algorithm>
#include <chrono>

#include "window/core/core.h"

namespace wscore {

uint64_t NowMs() {
  CoreState& s = State();
  if (s.backend == WindowSystemBackend::kHeadless) return s.headlessClock;
  auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count()) -
         s.clockBase;
}

void RunUiCalls() {
  CoreState& s = State();
  for (;;) {
    UiCall* call = nullptr;
    {
      std::lock_guard<std::mutex> guard(s.queueLock);
      if (s.uiCalls.empty()) return;
      call = s.uiCalls.front();
      s.uiCalls.pop_front();
    }
    call->call(call->context);
    std::lock_guard<std::mutex> guard(s.queueLock);
    call->done = true;
    s.uiCallDone.notify_all();
  }
}

void ForgetTimers(WindowHandle window) {
  auto& timers = State().timers;
  timers.erase(std::remove_if(timers.begin(), timers.end(),
                              [window](const Timer& t) { return t.window == window; }),
               timers.end());
}

int32_t MillisecondsToNextTimer() {
  CoreState& s = State();
  if (s.timers.empty()) return -1;
  uint64_t now = NowMs();
  uint64_t next = s.timers.front().due;
  for (const Timer& t : s.timers) next = std::min(next, t.due);
  return next <= now ? 0 : static_cast<int32_t>(std::min<uint64_t>(next - now, 1u << 30));
}

bool TakeDueTimer(WindowMessage* out) {
  CoreState& s = State();
  uint64_t now = NowMs();
  Timer* due = nullptr;
  for (Timer& t : s.timers) {
    if (t.due <= now && (due == nullptr || t.due < due->due)) due = &t;
  }
  if (due == nullptr) return false;
  due->due = now + due->interval;  // a late timer fires once
  *out = WindowMessage{due->window, WM_TIMER, due->id, 0, static_cast<uint32_t>(now), s.pointer};
  return true;
}

namespace {

bool PopPosted(WindowMessage* out, bool remove) {
  CoreState& s = State();
  std::lock_guard<std::mutex> guard(s.queueLock);
  if (s.posted.empty()) return false;
  *out = s.posted.front();
  if (remove) s.posted.pop_front();
  return true;
}

bool PopInput(WindowMessage* out, bool remove) {
  CoreState& s = State();
  while (s.inputMessages.empty()) {
    if (!RouteNextInput()) return false;
  }
  *out = s.inputMessages.front();
  if (remove) s.inputMessages.pop_front();
  return true;
}

// One attempt at every source, in Win32's order of priority.
bool TakeReady(WindowMessage* out, bool remove) {
  CoreState& s = State();
  RunUiCalls();
  if (!s.running) return false;
  s.ops->pump();
  if (PopPosted(out, remove)) return true;
  if (PopInput(out, remove)) return true;
  if (!remove) return false;  // paint and timer messages are made when taken
  if (TakePaint(out)) return true;
  return TakeDueTimer(out);
}

}  // namespace

}  // namespace wscore

using namespace wscore;

LResult SendWindowMessage(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
  if (!IsUiThread()) {
    // Another thread's send runs on the UI thread while the sender waits.
    struct Call {
      WindowHandle w; uint32_t m; WParam wp; LParam lp; LResult result;
    } call{window, message, wParam, lParam, 0};
    CallOnUiThread([](void* c) {
      auto* k = static_cast<Call*>(c);
      k->result = SendWindowMessage(k->w, k->m, k->wp, k->lp);
    }, &call);
    return call.result;
  }
  WindowRecord* r = Find(window);
  if (r == nullptr) return 0;
  return r->procedure(window, message, wParam, lParam);
}

bool PostWindowMessage(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
  CoreState& s = State();
  {
    std::lock_guard<std::mutex> guard(s.queueLock);
    if (!s.acceptingCalls) return false;
    WindowMessage m{window, message, wParam, lParam, 0, {0, 0}};
    if (IsUiThread()) {
      m.time = static_cast<uint32_t>(NowMs());
      m.pt = s.pointer;
    }
    s.posted.push_back(m);
  }
  WakeUiThread();
  return true;
}

void PostQuit(int32_t code) {
  PostWindowMessage(nullptr, WM_QUIT, static_cast<WParam>(static_cast<intptr_t>(code)), 0);
}

bool GetNextMessage(WindowMessage* out) {
  CoreState& s = State();
  while (s.running) {
    if (TakeReady(out, true)) return out->message != WM_QUIT;
    int32_t timeout = MillisecondsToNextTimer();
    if (s.backend == WindowSystemBackend::kHeadless && timeout > 0) {
      s.headlessClock += static_cast<uint64_t>(timeout);  // nothing else can happen first
      continue;
    }
    s.ops->wait(timeout);
    DrainWake();
  }
  *out = WindowMessage{nullptr, WM_QUIT, 0, 0, 0, {0, 0}};
  return false;
}

bool PeekNextMessage(WindowMessage* out, bool remove) {
  if (!State().running) return false;
  DrainWake();
  return TakeReady(out, remove);
}

LResult DispatchWindowMessage(const WindowMessage* message) {
  if (message == nullptr || message->window == nullptr) return 0;
  return SendWindowMessage(message->window, message->message, message->wParam, message->lParam);
}

int32_t ProcessPendingMessages() {
  int32_t count = 0;
  WindowMessage m;
  while (count < 1000000 && PeekNextMessage(&m, true)) {
    if (m.message == WM_QUIT) {
      // Put it back at the front: the loop that owns it takes it.
      std::lock_guard<std::mutex> guard(State().queueLock);
      State().posted.push_front(m);
      break;
    }
    DispatchWindowMessage(&m);
    ++count;
  }
  return count;
}

uint32_t WindowSystemTime() { return static_cast<uint32_t>(NowMs()); }

bool CallOnUiThread(void (*call)(void* context), void* context) {
  CoreState& s = State();
  if (call == nullptr) return false;
  if (IsUiThread() && s.running) {
    call(context);
    return true;
  }
  UiCall pending{call, context, false, false};
  std::unique_lock<std::mutex> lock(s.queueLock);
  if (!s.acceptingCalls) return false;
  s.uiCalls.push_back(&pending);
  lock.unlock();
  WakeUiThread();
  lock.lock();
  s.uiCallDone.wait(lock, [&pending] { return pending.done || pending.cancelled; });
  return pending.done;
}

uintptr_t SetTimer(WindowHandle window, uintptr_t id, uint32_t milliseconds) {
  CoreState& s = State();
  if (Find(window) == nullptr) return 0;
  uint32_t interval = std::max<uint32_t>(milliseconds, 1);
  for (Timer& t : s.timers) {
    if (t.window == window && t.id == id) {
      t.interval = interval;
      t.due = NowMs() + interval;
      return id;
    }
  }
  s.timers.push_back(Timer{window, id, interval, NowMs() + interval});
  return id;
}

bool KillTimer(WindowHandle window, uintptr_t id) {
  auto& timers = State().timers;
  auto it = std::find_if(timers.begin(), timers.end(),
                         [&](const Timer& t) { return t.window == window && t.id == id; });
  if (it == timers.end()) return false;
  timers.erase(it);
  return true;
}

void AdvanceHeadlessClock(uint32_t milliseconds) {
  CoreState& s = State();
  if (s.backend == WindowSystemBackend::kHeadless) s.headlessClock += milliseconds;
}
