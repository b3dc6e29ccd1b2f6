#include "threads/worker_pool.h"

#include <atomic>
#include <cstdint>

#include "core/log.h"

namespace {
unsigned long main_thread = 0;
int threads_inited = 0;
THREAD_call* free_calls = nullptr;
UTL_critical_section free_calls_lock;

// The call queue with the number of its holders: the pool and each worker. The last one to let go
// frees it, so a worker that outlives the pool's shutdown deadline still reads from a live queue.
struct held_queue {
  UTL_message_queue* queue = nullptr;
  std::atomic<int> holders{0};
};
held_queue* pool_queue = nullptr;

void let_go(held_queue* held) {
  if (held->holders.fetch_sub(1) == 1) {
    UTL_message_queue_destroy(held->queue);
    delete held;
  }
}
std::vector<UTL_thread_handle> worker_threads;
std::vector<UTL_thread_handle> worker_threads_join;
std::vector<unsigned long> worker_threads_id;

// The message that tells a worker to end.
void* const kStopToken = reinterpret_cast<void*>(~static_cast<uintptr_t>(0));
}  // namespace

void THREAD_init() {
  main_thread = UTL_get_current_thread();
  UTL_critical_section_create(&free_calls_lock);
  int n = UTL_count_processors();
  xer << "CPU count = " << n << "\n";
  pool_queue = new held_queue;
  UTL_message_queue_create(&pool_queue->queue);
  pool_queue->holders = n + 1;
  for (int i = 0; i < n; ++i) {
    UTL_thread_handle handle = nullptr, join = nullptr;
    unsigned long id = 0;
    UTL_thread_create(xtaskproc, pool_queue, &handle, &id, &join);
    worker_threads.push_back(handle);
    worker_threads_join.push_back(join);
    worker_threads_id.push_back(id);
  }
  threads_inited = 1;
  // An alert raised by a worker is carried back to the thread that submitted the work.
  alert_hooks().on_worker_thread = [] { return THREAD_is_inited() && !THREAD_is_main_thread(); };
}

int THREAD_join_deadline_ms = 5000;

void THREAD_shutdown() {
  if (!pool_queue) return;
  for (size_t i = 0; i < worker_threads.size(); ++i) UTL_message_queue_write(pool_queue->queue, kStopToken);
  for (size_t i = 0; i < worker_threads.size(); ++i)
    UTL_thread_join(&worker_threads[i], &worker_threads_join[i], THREAD_join_deadline_ms);
  worker_threads.clear();
  worker_threads_join.clear();
  worker_threads_id.clear();
  UTL_critical_section_destroy(&free_calls_lock);
  // A worker that missed the deadline still finishes its call and then reads its stop token: the
  // queue is freed by whichever of them lets go last.
  let_go(pool_queue);
  pool_queue = nullptr;
  while (free_calls) {
    THREAD_call* call = free_calls;
    free_calls = call->next_free;
    UTL_message_queue_destroy(call->done_token);
    delete call;
  }
  threads_inited = 0;
  xer << "Clean exit from threads.\n";
}

int THREAD_is_main_thread() { return UTL_get_current_thread() == main_thread ? 1 : 0; }

int THREAD_is_inited() { return threads_inited; }

void* xtaskproc(void* queue_param) {
  // Each worker holds the queue it was started on until it reads its stop token.
  auto* held = static_cast<held_queue*>(queue_param);
  for (;;) {
    void* message = UTL_message_queue_read(held->queue, -1);
    if (message == kStopToken) {
      let_go(held);
      return nullptr;
    }
    auto* call = static_cast<THREAD_call*>(message);
    run_one_call(call, call->func, call->param);
  }
}

void run_one_call(THREAD_call* call, void* (*func)(void*), void* param) {
  void* result = nullptr;
  try {
    result = func(param);
  } catch (const exce_class& e) {
    StLocker hold(&call->lock);
    call->has_exception = 1;
    call->exception = e;
  }
  {
    StLocker hold(&call->lock);
    call->return_value = result;
  }
  UTL_message_queue_write(call->done_token, call->cookie);
}

THREAD_call* THREAD_submit(void* (*func)(void*), void* param) {
  THREAD_call* call = nullptr;
  {
    StLocker hold(&free_calls_lock);
    if (free_calls) {
      call = free_calls;
      free_calls = call->next_free;
    }
  }
  if (!call) {
    call = new THREAD_call;
    UTL_message_queue_create(&call->done_token);
  }
  call->next_free = nullptr;
  call->func = func;
  call->param = param;
  call->return_value = nullptr;
  call->done = 0;
  call->has_exception = 0;
  call->exception = exce_class();
  call->cookie = call;  // any non-null value: null would read as a timeout
  UTL_message_queue_write(pool_queue->queue, call);
  return call;
}

int THREAD_poll(THREAD_call* call) {
  if (!call->done && UTL_message_queue_read(call->done_token, 0)) call->done = 1;
  return call->done;
}

void* THREAD_wait(THREAD_call* call, exce_class* thrown, int* has_exception) {
  if (!call->done) UTL_message_queue_read(call->done_token, -1);
  call->done = 1;
  void* result;
  {
    StLocker hold(&call->lock);
    result = call->return_value;
    if (has_exception) *has_exception = call->has_exception;
    if (thrown && call->has_exception) *thrown = call->exception;
  }
  StLocker hold(&free_calls_lock);
  call->next_free = free_calls;
  free_calls = call;
  return result;
}
