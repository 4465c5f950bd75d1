// The framework thread: where Synchronize and OnTerminate run, that waiting never
// deadlocks, self-deletion, stopping, and exceptions escaping the body.
#include "sys/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

// A thread whose body is a lambda.
class FnThread : public sys::Thread {
 public:
  using Body = std::function<void(FnThread&)>;
  explicit FnThread(Body body) : body_(std::move(body)) {}
  void SetResult(int v) { SetReturnValue(v); }

 protected:
  void Execute() override { body_(*this); }

 private:
  Body body_;
};

// Serves the main thread's queue until cond holds; false on time-out.
bool PumpUntil(const std::function<bool()>& cond, DWORD ms = 10000) {
  DWORD start = GetTickCount();
  while (!cond()) {
    if (GetTickCount() - start > ms) return false;
    HANDLE e = sys::SyncEvent();
    MsgWaitForMultipleObjects(1, &e, FALSE, 10, QS_ALLINPUT);
    sys::ProcessMessages();
  }
  return true;
}

}  // namespace

TEST(ThreadTest, SynchronizeRunsOnMainThread) {
  const DWORD mainId = GetCurrentThreadId();
  std::atomic<bool> started{false};
  std::atomic<DWORD> workerId{0};
  std::vector<DWORD> seen;  // only touched on the main thread
  FnThread t([&](FnThread& self) {
    started = true;
    workerId = GetCurrentThreadId();
    for (int i = 0; i < 3; ++i) self.Synchronize([&] { seen.push_back(GetCurrentThreadId()); });
  });
  Sleep(50);
  EXPECT_FALSE(started) << "the constructor must not start the body";
  EXPECT_TRUE(t.Suspended());

  // On the main thread the routine runs at once, without any pump.
  bool ranAtOnce = false;
  t.Synchronize([&] { ranAtOnce = true; });
  EXPECT_TRUE(ranAtOnce);

  t.Resume();
  t.WaitFor();
  EXPECT_NE(mainId, workerId.load());
  ASSERT_EQ(3u, seen.size());
  for (DWORD id : seen) EXPECT_EQ(mainId, id);
}

namespace {

enum class Serve { WaitFor, ProcessMessages, WakeByThreadMessage, WakeByWindow };

int g_windowWakes = 0;

LRESULT CALLBACK WakeProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NULL) ++g_windowWakes;
  return DefWindowProcW(w, msg, wp, lp);
}

HWND MakeWakeWindow() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = WakeProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"VelmoraThreadTestWake";
  RegisterClassW(&wc);
  return CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                         wc.hInstance, nullptr);
}

// Sleeps in the message wait only: unless Synchronize posts a wake-up, nothing is served
// and the wait times out.
bool ServeOnWakeUpsOnly(std::vector<HANDLE> left, int& threadWakes) {
  while (!left.empty()) {
    DWORD r = MsgWaitForMultipleObjects(DWORD(left.size()), left.data(), FALSE, 5000,
                                        QS_ALLINPUT);
    if (r == WAIT_TIMEOUT || r == WAIT_FAILED) return false;
    if (r < WAIT_OBJECT_0 + left.size()) {
      left.erase(left.begin() + (r - WAIT_OBJECT_0));
      continue;
    }
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
      if (m.message == WM_NULL && m.hwnd == nullptr) ++threadWakes;
      DispatchMessageW(&m);
    }
    sys::CheckSynchronize();
  }
  return true;
}

}  // namespace

TEST(ThreadTest, MainThreadServesManyCallsInOrder) {
  const struct {
    const char* name;
    Serve serve;
  } cases[] = {
      {"WaitFor", Serve::WaitFor},
      {"ProcessMessages loop", Serve::ProcessMessages},
      {"wake-up by thread message", Serve::WakeByThreadMessage},
      {"wake-up by window message", Serve::WakeByWindow},
  };
  const int kCalls = 500;
  const DWORD mainId = GetCurrentThreadId();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::pair<int, int>> served;  // (worker, call number), main thread only
    int offMain = 0;
    auto body = [&](int worker) {
      return [&, worker](FnThread& self) {
        for (int i = 0; i < kCalls; ++i)
          self.Synchronize([&, worker, i] {
            if (GetCurrentThreadId() != mainId) ++offMain;
            served.emplace_back(worker, i);
          });
      };
    };
    FnThread a(body(0)), b(body(1));
    HWND wake = nullptr;
    g_windowWakes = 0;
    if (c.serve == Serve::WakeByWindow) {
      wake = MakeWakeWindow();
      ASSERT_NE(nullptr, wake);
      sys::SetSyncWakeWindow(wake);
    }
    a.Resume();
    b.Resume();
    int threadWakes = 0;
    switch (c.serve) {
      case Serve::WaitFor:
        break;
      case Serve::ProcessMessages:
        EXPECT_TRUE(PumpUntil([&] { return a.Finished() && b.Finished(); }));
        break;
      case Serve::WakeByThreadMessage:
      case Serve::WakeByWindow:
        EXPECT_TRUE(ServeOnWakeUpsOnly({a.Handle(), b.Handle()}, threadWakes))
            << "Synchronize did not wake the main thread";
        break;
    }
    a.WaitFor();
    b.WaitFor();
    sys::SetSyncWakeWindow(nullptr);
    if (wake) DestroyWindow(wake);

    EXPECT_EQ(0, offMain);
    ASSERT_EQ(size_t(2 * kCalls), served.size());
    int next[2] = {0, 0};
    for (const auto& s : served) {
      EXPECT_EQ(next[s.first], s.second) << "worker " << s.first;
      next[s.first] = s.second + 1;
    }
    if (c.serve == Serve::WakeByThreadMessage) {
      EXPECT_GT(threadWakes, 0);
    }
    if (c.serve == Serve::WakeByWindow) {
      EXPECT_GT(g_windowWakes, 0);
      EXPECT_EQ(0, threadWakes);
    }
  }
}

TEST(ThreadTest, OnTerminateRunsOnMainThreadAfterExecute) {
  const DWORD mainId = GetCurrentThreadId();
  sys::Lock lock;
  std::vector<std::string> events;
  DWORD terminateThread = 0;
  bool finishedInOnTerminate = false;
  FnThread t([&](FnThread& self) {
    Sleep(20);
    sys::LockGuard g(lock);
    events.push_back("execute");
    self.SetResult(42);
  });
  t.OnTerminate = [&] {
    sys::LockGuard g(lock);
    events.push_back("terminate");
    terminateThread = GetCurrentThreadId();
    finishedInOnTerminate = t.Finished();
  };
  t.Resume();
  EXPECT_EQ(42, t.WaitFor());
  // WaitFor returns only after OnTerminate has run.
  EXPECT_EQ((std::vector<std::string>{"execute", "terminate"}), events);
  EXPECT_EQ(mainId, terminateThread);
  EXPECT_TRUE(finishedInOnTerminate);
  EXPECT_EQ(42, t.ReturnValue());
}

namespace {

struct Lifecycle {
  sys::Lock lock;
  std::vector<std::string> events;
  int destroyed = 0;
  DWORD destroyThread = 0;
  void Add(const char* e) {
    sys::LockGuard g(lock);
    events.push_back(e);
  }
};

class CountedThread : public sys::Thread {
 public:
  explicit CountedThread(Lifecycle& life) : life_(life) {}
  ~CountedThread() override {
    life_.Add("destroyed");
    sys::LockGuard g(life_.lock);
    ++life_.destroyed;
    life_.destroyThread = GetCurrentThreadId();
  }

 protected:
  void Execute() override { life_.Add("execute"); }

 private:
  Lifecycle& life_;
};

}  // namespace

TEST(ThreadTest, FreeOnTerminateDeletesTheObjectOnce) {
  const struct {
    const char* name;
    bool withOnTerminate;
    std::vector<std::string> expected;
  } cases[] = {
      {"with OnTerminate", true, {"execute", "terminate", "destroyed"}},
      {"without OnTerminate", false, {"execute", "destroyed"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Lifecycle life;
    auto* t = new CountedThread(life);
    t->FreeOnTerminate = true;
    if (c.withOnTerminate) t->OnTerminate = [&life] { life.Add("terminate"); };
    t->Resume();
    t = nullptr;  // owned by itself now
    auto destroyed = [&life] {
      sys::LockGuard g(life.lock);
      return life.destroyed > 0;
    };
    ASSERT_TRUE(PumpUntil(destroyed));
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(1, life.destroyed);
    EXPECT_EQ(GetCurrentThreadId(), life.destroyThread);
    EXPECT_EQ(c.expected, life.events);
  }
}

TEST(ThreadTest, TerminateIsSeenByPollingWorker) {
  HANDLE running = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  FnThread t([&](FnThread& self) {
    SetEvent(running);
    int polls = 0;
    while (!self.Terminated()) {
      ++polls;
      Sleep(1);
    }
    self.SetResult(polls > 0 ? 1 : -1);
  });
  t.Resume();
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(running, 5000));
  Sleep(20);
  EXPECT_FALSE(t.Finished());
  t.Terminate();
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(t.Handle(), 5000)) << "the worker did not stop";
  EXPECT_EQ(1, t.WaitFor());
  EXPECT_TRUE(t.Finished());
  CloseHandle(running);
}

namespace {

// Its body uses no members of its own, so the base destructor may end it.
std::atomic<int> g_bodyRuns{0};

class PollingThread : public sys::Thread {
 protected:
  void Execute() override {
    ++g_bodyRuns;
    while (!Terminated()) Sleep(1);
  }
};

}  // namespace

TEST(ThreadTest, DestructorEndsRunningOrUnstartedThread) {
  const struct {
    const char* name;
    bool resume;
    int bodyRuns;
  } cases[] = {
      {"running", true, 1},
      {"never resumed", false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    g_bodyRuns = 0;
    bool terminateRan = false;
    auto* t = new PollingThread;
    t->OnTerminate = [&terminateRan] { terminateRan = true; };
    if (c.resume) {
      t->Resume();
      ASSERT_TRUE(PumpUntil([] { return g_bodyRuns > 0; }));
    }
    delete t;
    EXPECT_EQ(c.bodyRuns, g_bodyRuns.load());
    EXPECT_FALSE(terminateRan) << "OnTerminate must not run on a half-destroyed object";
  }
}

TEST(ThreadTest, ExceptionEscapingExecuteIsKept) {
  const struct {
    const char* name;
    FnThread::Body body;
    std::wstring text;
  } cases[] = {
      {"std::exception", [](FnThread&) { throw std::runtime_error("disk gone"); }, L"disk gone"},
      {"not a std::exception", [](FnThread&) { throw 42; }, L"unknown exception"},
      {"thrown by a synchronised routine",
       [](FnThread& self) { self.Synchronize([] { throw std::logic_error("中文说明"); }); },
       L"中文说明"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    bool terminateRan = false;
    FnThread t(c.body);
    t.OnTerminate = [&terminateRan] { terminateRan = true; };
    t.Resume();
    t.WaitFor();
    EXPECT_TRUE(t.Finished());
    EXPECT_EQ(c.text, t.FatalException());
    EXPECT_TRUE(terminateRan);
  }
}
