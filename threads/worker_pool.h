#pragma once
// The pool of worker threads, one per processor, and the hand-over of an alert raised on a worker.
#include <string>
#include <vector>

#include "core/alert.h"
#include "threads/thread_utils.h"

// One queued call; records are recycled through a free list.
struct THREAD_call {
  THREAD_call* next_free = nullptr;
  UTL_message_queue* done_token = nullptr;
  UTL_critical_section lock;
  void* (*func)(void*) = nullptr;
  void* param = nullptr;
  void* return_value = nullptr;
  int done = 0;
  int has_exception = 0;
  exce_class exception;
  void* cookie = nullptr;
};

void THREAD_init();
// Stops the workers, waiting up to THREAD_join_deadline_ms for each.
void THREAD_shutdown();
extern int THREAD_join_deadline_ms;
int THREAD_is_main_thread();
int THREAD_is_inited();
// A worker: runs the calls of the queue it is given until it reads the stop token.
void* xtaskproc(void* queue);
void run_one_call(THREAD_call* call, void* (*func)(void*), void* param);

// The submitting side: queues func(param) for a worker and returns its record.
THREAD_call* THREAD_submit(void* (*func)(void*), void* param);
// True once the call has finished; never waits. A finished call is then collected with THREAD_wait,
// which returns at once.
int THREAD_poll(THREAD_call* call);
// Waits for the call to finish, then puts its record back on the free list. Returns the
// function's result; *thrown receives the exception when the call ended by one.
void* THREAD_wait(THREAD_call* call, exce_class* thrown, int* has_exception);
