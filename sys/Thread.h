// The framework thread that worker objects are written against: created suspended,
// started with Resume, stopped by polling Terminated, talking to the main thread only
// through Synchronize.
#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>

#include "sys/Lock.h"

namespace sys {

// Derive, override Execute, set OnTerminate / FreeOnTerminate, then Resume().
//
// Rules a user must keep:
// - OnTerminate and FreeOnTerminate are set before Resume and not changed afterwards.
// - A FreeOnTerminate thread deletes itself on the main thread right after OnTerminate;
//   it must never be deleted from outside, and WaitFor on it is refused (the object may
//   be gone by the time the wait ends).
// - The destructor ends a thread that is still running (Terminate, Resume if never
//   started, wait while serving Synchronize), but by then the derived part is already
//   destroyed: a derived class whose Execute or synchronised routines use its own
//   members ends the thread in its own destructor (Terminate(); WaitFor();).
//   OnTerminate does not run when the object is destroyed before the thread ended.
// - Synchronize blocks the worker until the main thread serves it, so the main thread
//   must keep pumping (ProcessMessages, WaitFor, or a message loop calling
//   CheckSynchronize).
class Thread {
 public:
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;
  virtual ~Thread();

  // Starts the body; later calls do nothing.
  void Resume();
  // Asks the body to stop; it sees the request at its next Terminated() check.
  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }
  // True once Execute has returned (or thrown); set before OnTerminate runs.
  bool Finished() const { return finished_; }
  bool Suspended() const { return !started_; }

  // Runs fn on the main thread while the calling thread waits; on the main thread it runs
  // at once. An exception thrown by fn is rethrown in the calling thread.
  void Synchronize(const std::function<void()>& fn);

  // Waits for the body to end and returns ReturnValue. On the main thread it keeps serving
  // Synchronize calls and dispatching window messages meanwhile. Throws std::logic_error
  // for a FreeOnTerminate thread, a thread never resumed, or a call from the thread itself.
  int WaitFor();

  int ReturnValue() const { return returnValue_; }
  // The text of an exception that escaped Execute; empty when none did.
  const std::wstring& FatalException() const { return fatal_; }
  HANDLE Handle() const { return handle_; }
  DWORD ThreadID() const { return threadId_; }

  // Run on the main thread after Execute returns.
  std::function<void()> OnTerminate;
  bool FreeOnTerminate = false;

 protected:
  // Always created suspended; the constructor runs on the main thread (or calls
  // InitMainThread before). Throws std::runtime_error when no thread can be made.
  Thread();
  virtual void Execute() = 0;
  void SetReturnValue(int value) { returnValue_ = value; }

 private:
  static unsigned __stdcall ThreadProc(void* self);
  void Finish();

  HANDLE handle_ = nullptr;
  DWORD threadId_ = 0;
  // Signalled when the main thread has served this worker's Synchronize call.
  HANDLE served_ = nullptr;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  std::atomic<bool> started_{false};
  std::atomic<bool> destroying_{false};
  // Set on the main thread when the final call deletes the object.
  bool freeing_ = false;
  int returnValue_ = 0;
  std::wstring fatal_;
};

// Records the calling thread as the main thread and gives it a message queue. Otherwise
// the thread that first constructs a Thread or serves the queue counts as the main thread.
void InitMainThread();
DWORD MainThreadId();
bool IsMainThread();

// Serves the queued Synchronize calls in the order they were made; true when it ran any.
// Does nothing off the main thread. The main message loop calls it after each message.
bool CheckSynchronize();
// Dispatches every waiting window message, then serves the Synchronize queue: the pump
// that long scans call. A WM_QUIT met here is posted again for the main loop.
void ProcessMessages();
// Synchronize wakes the main thread by posting WM_NULL to this window (survives modal
// loops), or with PostThreadMessage to the main thread when none is set (nullptr).
void SetSyncWakeWindow(HWND window);
// Signalled while Synchronize calls are queued, for main loops that wait on handles.
HANDLE SyncEvent();

}  // namespace sys
