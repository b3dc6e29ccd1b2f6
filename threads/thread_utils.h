#pragma once
// Thin portable layer over threads, re-entrant critical sections and a counting message queue.
#include <condition_variable>
#include <list>
#include <mutex>

using UTL_thread_func = void* (*)(void*);

struct UTL_thread;  // a running thread and the signal of its end
using UTL_thread_handle = UTL_thread*;

struct UTL_critical_section {
  std::recursive_mutex mutex;
};

// A reader sleeps on the condition until a message comes; unlike the standard semaphore, which
// spins through dozens of sched_yield calls first, waking it costs one futex call.
struct UTL_message_queue {
  std::mutex lock;
  std::condition_variable arrived;
  std::list<void*> messages;
};

unsigned long UTL_get_current_thread();
int UTL_count_processors();

// Starts func(arg) at once; the join handle equals the thread handle.
void UTL_thread_create(UTL_thread_func func, void* arg, UTL_thread_handle* out_handle, unsigned long* out_id,
                       UTL_thread_handle* out_join);
// Waits up to timeout_ms for the thread to end, then closes the handle. False when the thread
// was still running: it is let go and may still use what it shares.
bool UTL_thread_join(UTL_thread_handle* handle, UTL_thread_handle* join, int timeout_ms = 5000);

void UTL_critical_section_create(UTL_critical_section* cs);
void UTL_critical_section_destroy(UTL_critical_section* cs);
void UTL_critical_section_lock(UTL_critical_section* cs);
void UTL_critical_section_unlock(UTL_critical_section* cs);

void UTL_message_queue_create(UTL_message_queue** out_queue);
// Releases the queue; the messages still in it are not freed.
void UTL_message_queue_destroy(UTL_message_queue* queue);
// Appends message (never null) and wakes one reader.
void UTL_message_queue_write(UTL_message_queue* queue, void* message);
// The oldest message, or null when timeout_ms (-1: forever) passed first.
void* UTL_message_queue_read(UTL_message_queue* queue, int timeout_ms);

// Holds a critical section for its scope; a null pointer holds nothing.
class StLocker {
 public:
  explicit StLocker(UTL_critical_section* c) : c_(c) {
    if (c_) UTL_critical_section_lock(c_);
  }
  ~StLocker() {
    if (c_) UTL_critical_section_unlock(c_);
  }
  StLocker(const StLocker&) = delete;
  StLocker& operator=(const StLocker&) = delete;

 private:
  UTL_critical_section* c_;
};
