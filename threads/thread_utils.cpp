#include "threads/thread_utils.h"

#include <chrono>
#include <functional>
#include <new>
#include <future>
#include <string>
#include <thread>

#include "core/alert.h"
#include "core/log.h"

struct UTL_thread {
  std::thread thread;
  std::future<void> ended;
};

namespace {
constexpr std::ptrdiff_t kMaxQueued = 100000;

// The fatal end of a failed system operation: its name in quotes, then the code as "err=%f".
[[noreturn]] void os_failure(const char* operation, int code) {
  char err[64];
  std::snprintf(err, sizeof err, "err=%f", static_cast<double>(code));
  MACIBM_alert(0, std::string("\"") + operation + "\" OS error", err, "", "", alert_fatal);
  std::abort();  // not reached: a fatal alert ends the process
}
}  // namespace

unsigned long UTL_get_current_thread() {
  return static_cast<unsigned long>(std::hash<std::thread::id>{}(std::this_thread::get_id()));
}

int UTL_count_processors() {
  unsigned n = std::thread::hardware_concurrency();
  return n ? static_cast<int>(n) : 1;
}

void UTL_thread_create(UTL_thread_func func, void* arg, UTL_thread_handle* out_handle, unsigned long* out_id,
                       UTL_thread_handle* out_join) {
  auto* t = new UTL_thread;
  std::promise<void> ended;
  t->ended = ended.get_future();
  try {
    t->thread = std::thread([func, arg, ended = std::move(ended)]() mutable {
      func(arg);
      ended.set_value();
    });
  } catch (const std::system_error& e) {
    delete t;
    os_failure("CreateThread", e.code().value());
  }
  if (out_id) *out_id = static_cast<unsigned long>(std::hash<std::thread::id>{}(t->thread.get_id()));
  if (out_handle) *out_handle = t;
  if (out_join) *out_join = t;
}

bool UTL_thread_join(UTL_thread_handle* handle, UTL_thread_handle* join, int timeout_ms) {
  UTL_thread* t = join && *join ? *join : (handle ? *handle : nullptr);
  if (!t) return true;
  bool ended = t->ended.wait_for(std::chrono::milliseconds(timeout_ms)) == std::future_status::ready;
  if (ended) {
    t->thread.join();
  } else {
    xer << "Wait on thread for cleanup failed with " << 258 << ".\n";  // the wait timed out
    t->thread.detach();
  }
  delete t;
  if (handle) *handle = nullptr;
  if (join) *join = nullptr;
  return ended;
}

void UTL_critical_section_create(UTL_critical_section*) {}
void UTL_critical_section_destroy(UTL_critical_section*) {}
void UTL_critical_section_lock(UTL_critical_section* cs) { cs->mutex.lock(); }
void UTL_critical_section_unlock(UTL_critical_section* cs) { cs->mutex.unlock(); }

void UTL_message_queue_create(UTL_message_queue** out_queue) {
  auto* q = new (std::nothrow) UTL_message_queue;
  if (!q) os_failure("CreateSemaphore", 0);
  *out_queue = q;
}

void UTL_message_queue_destroy(UTL_message_queue* queue) { delete queue; }

void UTL_message_queue_write(UTL_message_queue* queue, void* message) {
  {
    std::lock_guard<std::mutex> hold(queue->lock);
    // As many as a semaphore of the system could count; more means messages are never read.
    if (static_cast<std::ptrdiff_t>(queue->messages.size()) >= kMaxQueued) os_failure("MPNotifyQueue", 298);
    queue->messages.push_back(message);
  }
  queue->arrived.notify_one();
}

void* UTL_message_queue_read(UTL_message_queue* queue, int timeout_ms) {
  std::unique_lock<std::mutex> hold(queue->lock);
  auto waiting = [queue] { return !queue->messages.empty(); };
  if (timeout_ms < 0)
    queue->arrived.wait(hold, waiting);
  else if (timeout_ms == 0 && !waiting())
    return nullptr;  // a look, not a wait: no sleep on the condition
  else if (!queue->arrived.wait_for(hold, std::chrono::milliseconds(timeout_ms), waiting))
    return nullptr;
  void* message = queue->messages.front();
  queue->messages.pop_front();
  return message;
}
