#include "sys/Thread.h"

#include <process.h>

#include <deque>
#include <exception>
#include <stdexcept>

#include "sys/Text.h"

namespace sys {

namespace {

struct Request {
  const std::function<void()>* fn;
  std::exception_ptr error;
  HANDLE served;  // set once fn has run; the request is gone after that
};

struct SyncQueue {
  Lock lock;
  std::deque<Request*> pending;
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
};

// Never destroyed: workers may still queue calls while static destructors run at exit.
SyncQueue& Queue() {
  static SyncQueue* q = new SyncQueue;
  return *q;
}

std::atomic<DWORD> g_mainThread{0};
std::atomic<HWND> g_wakeWindow{nullptr};

void WakeMainThread() {
  HWND w = g_wakeWindow;
  if (w && PostMessageW(w, WM_NULL, 0, 0)) return;
  PostThreadMessageW(MainThreadId(), WM_NULL, 0, 0);
}

// Runs fn on the main thread; the caller is not the main thread. served is an auto-reset
// event that nothing else waits on while this call runs.
void QueueAndWait(const std::function<void()>& fn, HANDLE served) {
  Request r{&fn, nullptr, served};
  SyncQueue& q = Queue();
  {
    LockGuard g(q.lock);
    q.pending.push_back(&r);
    SetEvent(q.event);
  }
  WakeMainThread();
  WaitForSingleObject(served, INFINITE);
  if (r.error) std::rethrow_exception(r.error);
}

// The same with an event of its own, for a caller that has none to hand.
void QueueAndWait(const std::function<void()>& fn) {
  // Also called where nothing could catch an error, so it waits for the handle.
  HANDLE served;
  while (!(served = CreateEventW(nullptr, FALSE, FALSE, nullptr))) Sleep(10);
  struct Closer {
    HANDLE h;
    ~Closer() { CloseHandle(h); }
  } closer{served};
  QueueAndWait(fn, served);
}

// Dispatches what is waiting; a WM_QUIT is handed back instead of being dispatched.
bool PumpMessages(int& quitCode) {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) {
      quitCode = int(m.wParam);
      return true;
    }
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  return false;
}

std::wstring ExceptionText(const char* what) {
  std::string s = what ? what : "";
  if (s.empty()) return L"exception";
  // Our own texts are UTF-8; system texts come in the ANSI code page.
  bool utf8 = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, s.data(), int(s.size()),
                                  nullptr, 0) > 0;
  return utf8 ? FromUtf8(s) : FromAnsi(s);
}

// Waits for a thread handle; on the main thread it keeps the queue and the window served.
void WaitServing(HANDLE thread) {
  if (!IsMainThread()) {
    WaitForSingleObject(thread, INFINITE);
    return;
  }
  HANDLE handles[2] = {thread, SyncEvent()};
  bool quit = false;
  int quitCode = 0;
  for (;;) {
    DWORD r = MsgWaitForMultipleObjects(2, handles, FALSE, INFINITE, QS_ALLINPUT);
    if (r == WAIT_OBJECT_0) break;
    if (r == WAIT_OBJECT_0 + 1) {
      CheckSynchronize();
    } else if (r == WAIT_OBJECT_0 + 2) {
      // Posting WM_QUIT again here would wake this loop for ever; it is posted at the end.
      if (PumpMessages(quitCode)) quit = true;
      CheckSynchronize();
    } else {
      break;
    }
  }
  if (quit) PostQuitMessage(quitCode);
}

}  // namespace

void InitMainThread() {
  g_mainThread = GetCurrentThreadId();
  MSG m;
  // Makes the message queue exist, so PostThreadMessage reaches it.
  PeekMessageW(&m, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
}

DWORD MainThreadId() {
  DWORD id = g_mainThread;
  if (id) return id;
  DWORD none = 0;
  if (g_mainThread.compare_exchange_strong(none, GetCurrentThreadId())) {
    MSG m;
    PeekMessageW(&m, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
  }
  return g_mainThread;
}

bool IsMainThread() { return GetCurrentThreadId() == MainThreadId(); }

HANDLE SyncEvent() { return Queue().event; }

void SetSyncWakeWindow(HWND window) { g_wakeWindow = window; }

bool CheckSynchronize() {
  if (!IsMainThread()) return false;
  SyncQueue& q = Queue();
  std::deque<Request*> batch;
  {
    LockGuard g(q.lock);
    ResetEvent(q.event);
    batch.swap(q.pending);
  }
  for (Request* r : batch) {
    try {
      (*r->fn)();
    } catch (...) {
      r->error = std::current_exception();
    }
    // The waiting worker owns r again from here on.
    SetEvent(r->served);
  }
  return !batch.empty();
}

void ProcessMessages() {
  int quitCode = 0;
  if (PumpMessages(quitCode)) PostQuitMessage(quitCode);
  CheckSynchronize();
}

Thread::Thread() {
  MainThreadId();
  served_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!served_) throw std::runtime_error("cannot create an event");
  unsigned id = 0;
  uintptr_t h = _beginthreadex(nullptr, 0, &Thread::ThreadProc, this, CREATE_SUSPENDED, &id);
  if (!h) {
    CloseHandle(served_);
    throw std::runtime_error("cannot create a thread");
  }
  handle_ = reinterpret_cast<HANDLE>(h);
  threadId_ = id;
}

Thread::~Thread() {
  if (!handle_) return;
  // Inside the final call of a FreeOnTerminate thread the worker waits for this very call;
  // on the worker itself a wait could never end.
  if (!freeing_ && GetCurrentThreadId() != threadId_) {
    destroying_ = true;
    terminated_ = true;
    if (!started_.exchange(true)) ResumeThread(handle_);
    WaitServing(handle_);
  }
  CloseHandle(handle_);
  CloseHandle(served_);
}

void Thread::Resume() {
  if (!started_.exchange(true)) ResumeThread(handle_);
}

void Thread::Synchronize(const std::function<void()>& fn) {
  if (IsMainThread())
    fn();
  else if (GetCurrentThreadId() == threadId_)
    QueueAndWait(fn, served_);
  else
    QueueAndWait(fn);
}

int Thread::WaitFor() {
  if (FreeOnTerminate) throw std::logic_error("WaitFor on a FreeOnTerminate thread");
  if (!started_) throw std::logic_error("WaitFor on a thread never resumed");
  if (GetCurrentThreadId() == threadId_) throw std::logic_error("WaitFor on itself");
  WaitServing(handle_);
  return returnValue_;
}

unsigned __stdcall Thread::ThreadProc(void* self) {
  Thread* t = static_cast<Thread*>(self);
  // A thread destroyed before it was resumed never runs its (already destroyed) body.
  if (!t->terminated_) {
    try {
      t->Execute();
    } catch (const std::exception& e) {
      t->fatal_ = ExceptionText(e.what());
    } catch (...) {
      t->fatal_ = L"unknown exception";
    }
  }
  unsigned code = unsigned(t->returnValue_);
  t->Finish();
  // t may be deleted now.
  return code;
}

void Thread::Finish() {
  finished_ = true;
  if (!OnTerminate && !FreeOnTerminate) return;
  Thread* t = this;
  // An event of its own: the call may delete this object, and served_ with it.
  QueueAndWait([t] {
    if (t->destroying_) return;
    if (t->OnTerminate) {
      try {
        t->OnTerminate();
      } catch (const std::exception& e) {
        if (t->fatal_.empty()) t->fatal_ = ExceptionText(e.what());
      } catch (...) {
        if (t->fatal_.empty()) t->fatal_ = L"unknown exception";
      }
    }
    if (t->FreeOnTerminate) {
      t->freeing_ = true;
      delete t;
    }
  });
}

}  // namespace sys
