#include "early/convert/helper_thread.h"

#include <sched.h>
#include <cstddef>
#include <new>

namespace tagweave {
namespace {

/// The helper's stack. What runs there nests no deeper than a few calls
/// whatever the input; the default of several megabytes would count
/// against an address-space limit for nothing.
constexpr std::size_t helper_stack_bytes = 256 * 1024;

#if defined(__linux__) && defined(CPU_SET)
#define TAGWEAVE_PLACES_HELPER 1
#endif

struct start_record {
  helper_thread::body run = nullptr;
  void* argument = nullptr;
#if TAGWEAVE_PLACES_HELPER
  cpu_set_t allowed;    // the cores the process may use
  bool placed = false;  // started on some of them only
#endif
};

void* run_body(void* record) {
  auto* start = static_cast<start_record*>(record);
#if TAGWEAVE_PLACES_HELPER
  // Started away from the caller's core (see start()); from here on the
  // scheduler may move it as it likes.
  if (start->placed) {
    pthread_setaffinity_np(pthread_self(), sizeof start->allowed,
                           &start->allowed);
  }
#endif
  start->run(start->argument);
  delete start;
  return nullptr;
}

#if TAGWEAVE_PLACES_HELPER
/// Starts the thread on another core than the caller's. Linux places a new
/// thread on its creator's core more often than not, and there the two
/// would take turns for milliseconds, until the scheduler next balances.
/// False when the process may use only one core: a helper gains nothing.
bool place_away_from_caller(start_record& start, pthread_attr_t& attributes) {
  if (sched_getaffinity(0, sizeof start.allowed, &start.allowed) != 0) {
    return true;  // unknown: started wherever the scheduler puts it
  }
  if (CPU_COUNT(&start.allowed) < 2) return false;
  cpu_set_t elsewhere = start.allowed;
  int here = sched_getcpu();
  if (here >= 0) CPU_CLR(here, &elsewhere);
  if (CPU_COUNT(&elsewhere) > 0) {
    start.placed = pthread_attr_setaffinity_np(&attributes, sizeof elsewhere,
                                               &elsewhere) == 0;
  }
  return true;
}
#endif

}  // namespace

helper_thread::~helper_thread() { join(); }

bool helper_thread::start(body run, void* argument) {
  if (running_) return false;
  auto* record = new (std::nothrow) start_record{};
  if (record == nullptr) return false;
  record->run = run;
  record->argument = argument;
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) {
    delete record;
    return false;
  }
  pthread_attr_setstacksize(&attributes, helper_stack_bytes);
  bool worth_it = true;
#if TAGWEAVE_PLACES_HELPER
  worth_it = place_away_from_caller(*record, attributes);
#endif
  bool started =
      worth_it && pthread_create(&thread_, &attributes, run_body, record) == 0;
  pthread_attr_destroy(&attributes);
  if (!started) delete record;
  running_ = started;
  return started;
}

void helper_thread::join() {
  if (!running_) return;
  pthread_join(thread_, nullptr);
  running_ = false;
}

}  // namespace tagweave
