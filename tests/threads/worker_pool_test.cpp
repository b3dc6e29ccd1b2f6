#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "core/alert.h"
#include "tests/support/test_support.h"
#include "threads/worker_pool.h"

using namespace testing_support;

TEST(MessageQueue, TimeoutsOrderAndBlockingRead) {
  UTL_message_queue* queue = nullptr;
  UTL_message_queue_create(&queue);
  EXPECT_EQ(UTL_message_queue_read(queue, 0), nullptr);

  int a = 1, b = 2;
  UTL_message_queue_write(queue, &a);
  UTL_message_queue_write(queue, &b);
  EXPECT_EQ(UTL_message_queue_read(queue, 0), &a);
  EXPECT_EQ(UTL_message_queue_read(queue, 0), &b);
  EXPECT_EQ(UTL_message_queue_read(queue, 10), nullptr);

  // A reader waiting forever wakes when another thread writes.
  std::thread writer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    UTL_message_queue_write(queue, &a);
  });
  EXPECT_EQ(UTL_message_queue_read(queue, -1), &a);
  writer.join();
  UTL_message_queue_destroy(queue);
}

TEST(MessageQueue, EveryMessageReachesExactlyOneReader) {
  UTL_message_queue* queue = nullptr;
  UTL_message_queue_create(&queue);
  constexpr int kMessages = 2000;
  std::vector<int> values(kMessages);
  std::atomic<int> received{0};
  std::vector<std::atomic<int>> seen(kMessages);
  std::vector<std::thread> readers;
  for (int r = 0; r < 4; ++r)
    readers.emplace_back([&] {
      while (void* m = UTL_message_queue_read(queue, 200)) {
        seen[static_cast<int*>(m) - values.data()]++;
        received++;
      }
    });
  for (int i = 0; i < kMessages; ++i) UTL_message_queue_write(queue, &values[i]);
  for (auto& t : readers) t.join();
  EXPECT_EQ(received.load(), kMessages);
  for (auto& s : seen) EXPECT_EQ(s.load(), 1);
  UTL_message_queue_destroy(queue);
}

namespace {
void* doubles(void* p) {
  *static_cast<int*>(p) *= 2;
  return p;
}
void* raises_alert(void*) {
  MACIBM_alert(0, "one", "two", "three", "four", alert_error);
  return nullptr;
}
}  // namespace

TEST(WorkerPool, RunsCallsAndCarriesAlertsBackAsExceptions) {
  LogCapture log;
  AlertRecorder recorder;
  THREAD_init();
  EXPECT_TRUE(THREAD_is_inited());
  EXPECT_TRUE(THREAD_is_main_thread());
  EXPECT_NE(log.text().find("CPU count = " + std::to_string(UTL_count_processors()) + "\n"), std::string::npos);

  int value = 21;
  int thrown_flag = -1;
  exce_class thrown;
  THREAD_call* call = THREAD_submit(doubles, &value);
  EXPECT_EQ(THREAD_wait(call, &thrown, &thrown_flag), &value);
  EXPECT_EQ(value, 42);
  EXPECT_EQ(thrown_flag, 0);

  // A call is polled without waiting; once it reports finished, THREAD_wait returns at once.
  call = THREAD_submit(doubles, &value);
  while (!THREAD_poll(call)) std::this_thread::yield();
  EXPECT_EQ(THREAD_wait(call, nullptr, nullptr), &value);
  EXPECT_EQ(value, 84);

  // The record is recycled and an alert on a worker arrives as the call's exception.
  call = THREAD_submit(raises_alert, nullptr);
  THREAD_wait(call, &thrown, &thrown_flag);
  EXPECT_EQ(thrown_flag, 1);
  EXPECT_EQ(thrown.c1_, "one");
  EXPECT_EQ(thrown.c4_, "four");
  EXPECT_STREQ(thrown.file_, "worker_pool_test.cpp");
  EXPECT_GT(thrown.line_, 0);
  EXPECT_TRUE(recorder.alerts.empty()) << "an alert on a worker must not be shown";

  // On the main thread the same alert is shown.
  raises_alert(nullptr);
  EXPECT_EQ(recorder.alerts.size(), 1u);

  THREAD_shutdown();
  EXPECT_FALSE(THREAD_is_inited());
  EXPECT_NE(log.text().find("Clean exit from threads.\n"), std::string::npos);
}

namespace {
std::atomic<bool> straggler_release{false};
void* waits_for_release(void*) {
  while (!straggler_release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return nullptr;
}
}  // namespace

TEST(WorkerPool, AWorkerThatMissesTheShutdownDeadlineEndsSafelyLater) {
  LogCapture log;
  int saved_deadline = THREAD_join_deadline_ms;
  THREAD_join_deadline_ms = 20;
  THREAD_init();
  THREAD_call* call = THREAD_submit(waits_for_release, nullptr);
  THREAD_shutdown();
  EXPECT_NE(log.text().find("Wait on thread for cleanup failed"), std::string::npos);
  // The let-go worker finishes its call and reads its stop token from the queue it still owns; a
  // new pool meanwhile is not disturbed by it.
  THREAD_join_deadline_ms = saved_deadline;
  THREAD_init();
  straggler_release = true;
  THREAD_wait(call, nullptr, nullptr);
  int value = 4;
  EXPECT_EQ(THREAD_wait(THREAD_submit(doubles, &value), nullptr, nullptr), &value);
  EXPECT_EQ(value, 8);
  THREAD_shutdown();
}
