// GoogleTest's place for a build's own settings, found before the one it ships. The win32
// thread model of the compilers has no std::mutex or std::condition_variable, which
// GoogleTest's Notification is made of; this one waits on a Win32 event instead
// (GtestNotification.cpp). The rest of GoogleTest's Windows threading is Win32 already.
#ifndef VELMORA_GTEST_CUSTOM_PORT_H_
#define VELMORA_GTEST_CUSTOM_PORT_H_

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
 public:
  Notification();
  ~Notification();
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;
  // From the controller thread: lets every waiting thread go on.
  void Notify();
  void WaitForNotification();

 private:
  void* event_;  // a manual-reset event; <windows.h> is kept out of GoogleTest's headers
};

}  // namespace internal
}  // namespace testing

#endif  // VELMORA_GTEST_CUSTOM_PORT_H_
