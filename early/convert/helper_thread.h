// One thread beside the calling one, for a conversion that splits its work
// in two. Started with a small stack, since what runs there keeps little on
// it, so that a process under a tight memory limit can still start it; a
// thread that cannot be started is no error, the caller does the work
// itself.
#pragma once

#include <pthread.h>

namespace tagweave {

class helper_thread {
 public:
  using body = void (*)(void* argument);

  helper_thread() = default;
  /// Joins a thread still running.
  ~helper_thread();
  helper_thread(const helper_thread&) = delete;
  helper_thread& operator=(const helper_thread&) = delete;

  /// Runs `run(argument)` on a new thread; false when none could be made.
  bool start(body run, void* argument);
  /// Waits until the thread has returned.
  void join();

 private:
  pthread_t thread_{};
  bool running_ = false;
};

}  // namespace tagweave
