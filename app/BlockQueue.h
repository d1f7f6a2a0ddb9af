#pragma once
// A bounded hand-over of reusable blocks from one producing thread to a thread of its own that
// consumes them in order: the producer fills a block, pushes it and fills the next while the
// consumer works through the ones before, on the other core. The blocks are kept and handed out
// again, so a steady stream allocates nothing once they have grown to its size. The producer
// waits only when all `capacity` blocks wait for the consumer.
//
//   BlockQueue<std::vector<Row>> queue(8, [](std::vector<Row>& rows) { Write(rows); });
//   auto& rows = queue.Back();  rows.clear();  rows.push_back(...);  queue.Push();
//   queue.Finish();  // every pushed block consumed
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <thread>
#include <utility>
#include <vector>

#include "host/mfc/ThreadSafety.h"

namespace app {

template <class Block>
class BlockQueue {
 public:
  BlockQueue(std::size_t capacity, std::function<void(Block&)> consume)
      : m_blocks(capacity), m_consume(std::move(consume)) {
    m_thread = std::thread([this] { Consume(); });
  }
  ~BlockQueue() { Finish(); }
  BlockQueue(const BlockQueue&) = delete;
  BlockQueue& operator=(const BlockQueue&) = delete;

  // [producer] The block to fill next, as the consumer left it; waits while every block is
  // pushed and not yet consumed.
  Block& Back() EXCLUDES(m_mutex) {
    host::MutexLock lock(m_mutex);
    while (m_pushed - m_consumed == m_blocks.size())
      m_cv.wait(m_mutex);
    return m_blocks[m_pushed % m_blocks.size()];
  }
  // [producer] Hands the block of Back() to the consumer.
  void Push() EXCLUDES(m_mutex) {
    {
      host::MutexLock lock(m_mutex);
      ++m_pushed;
    }
    m_cv.notify_all();
  }
  // [producer] Waits until every pushed block is consumed and ends the thread; nothing to do the
  // second time.
  void Finish() EXCLUDES(m_mutex) {
    {
      host::MutexLock lock(m_mutex);
      m_quit = true;
    }
    m_cv.notify_all();
    if (m_thread.joinable()) m_thread.join();
  }

 private:
  void Consume() EXCLUDES(m_mutex) {
    for (;;) {
      std::uint64_t next = 0;
      {
        host::MutexLock lock(m_mutex);
        while (m_consumed == m_pushed && !m_quit)
          m_cv.wait(m_mutex);
        if (m_consumed == m_pushed) return;
        next = m_consumed;
      }
      // The producer does not touch a pushed block until it is counted consumed.
      m_consume(m_blocks[next % m_blocks.size()]);
      {
        host::MutexLock lock(m_mutex);
        ++m_consumed;
      }
      m_cv.notify_all();
    }
  }

  std::vector<Block> m_blocks;
  std::function<void(Block&)> m_consume;
  host::Mutex m_mutex;
  std::condition_variable_any m_cv;
  std::uint64_t m_pushed GUARDED_BY(m_mutex) = 0;
  std::uint64_t m_consumed GUARDED_BY(m_mutex) = 0;
  bool m_quit GUARDED_BY(m_mutex) = false;
  std::thread m_thread;  // last: starts when everything above exists
};

}  // namespace app
