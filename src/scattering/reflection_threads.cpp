// Chunked delivery of the reflection loop's values. Workers take chunks in
// order from a counter and compute each into a slot of a ring; the calling
// thread hands the slots' values on in chunk order and frees each slot for the
// chunk a ring's length ahead. So at most a ring of chunks is in memory.
#include "scattering/reflection_threads.hpp"

#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace velmora {
namespace {

// About this many atom-reflection terms per chunk: large enough that handing
// a chunk over costs nothing in comparison, small enough that the first rows
// appear at once.
constexpr std::size_t kTermsPerChunk = 1 << 16;
constexpr std::size_t kMaxChunk = 1024;

std::size_t chunk_size(const ReflectionLoop& loop) {
  const std::size_t terms = std::max<std::size_t>(loop.terms_per_reflection(), 1);
  return std::clamp<std::size_t>(kTermsPerChunk / terms, 1, kMaxChunk);
}

class ChunkRing {
 public:
  ChunkRing(const ReflectionLoop& loop, std::size_t chunk, std::size_t workers)
      : loop_(loop),
        chunk_(chunk),
        chunks_((loop.reflections() + chunk - 1) / chunk),
        slots_(2 * workers),
        values_(slots_ * chunk),
        done_(slots_, kNone) {}

  void work() {
    try {
      for (;;) {
        std::size_t k;
        {
          std::unique_lock lock(mutex_);
          slot_free_.wait(lock, [&] { return stop_ || next_ >= chunks_ || next_ < consumed_ + slots_; });
          if (stop_ || next_ >= chunks_) return;
          k = next_++;
        }
        loop_.compute(k * chunk_, span_of(k));
        std::lock_guard lock(mutex_);
        done_[k % slots_] = k;
        chunk_done_.notify_one();
      }
    } catch (...) {
      std::lock_guard lock(mutex_);
      if (!failure_) failure_ = std::current_exception();
      stop_ = true;
      chunk_done_.notify_one();
      slot_free_.notify_all();
    }
  }

  // Chunk k once computed, on the calling thread; rethrows a worker's failure.
  std::span<const ReflectionValues> wait_for(std::size_t k) {
    std::unique_lock lock(mutex_);
    chunk_done_.wait(lock, [&] { return failure_ || done_[k % slots_] == k; });
    if (failure_) std::rethrow_exception(failure_);
    return span_of(k);
  }

  void release(std::size_t k) {
    std::lock_guard lock(mutex_);
    consumed_ = k + 1;
    slot_free_.notify_all();
  }

  void stop() {
    std::lock_guard lock(mutex_);
    stop_ = true;
    slot_free_.notify_all();
  }

  std::size_t chunks() const { return chunks_; }

 private:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  std::span<ReflectionValues> span_of(std::size_t k) {
    const std::size_t first = k * chunk_;
    return {values_.data() + (k % slots_) * chunk_, std::min(chunk_, loop_.reflections() - first)};
  }

  const ReflectionLoop& loop_;
  const std::size_t chunk_, chunks_, slots_;
  std::vector<ReflectionValues> values_;
  std::mutex mutex_;
  std::condition_variable slot_free_, chunk_done_;
  std::vector<std::size_t> done_;  // the chunk each slot holds, once computed
  std::size_t next_ = 0;           // the next chunk a worker takes
  std::size_t consumed_ = 0;       // chunks handed on
  bool stop_ = false;
  std::exception_ptr failure_;
};

// Stops and joins the workers however the consuming ends.
class Workers {
 public:
  Workers(ChunkRing& ring, std::size_t count) : ring_(ring) {
    threads_.reserve(count);
    for (std::size_t i = 0; i < count; ++i) threads_.emplace_back([&ring] { ring.work(); });
  }
  ~Workers() {
    ring_.stop();
    for (std::thread& t : threads_) t.join();
  }

 private:
  ChunkRing& ring_;
  std::vector<std::thread> threads_;
};

}  // namespace

void for_each_reflection(const ReflectionLoop& loop, int threads,
                         const std::function<void(const ReflectionValues&)>& consume) {
  const std::size_t total = loop.reflections();
  const std::size_t chunk = std::min(chunk_size(loop), total);
  if (total == 0) return;
  const std::size_t chunks = (total + chunk - 1) / chunk;
  if (threads <= 1 || chunks == 1) {
    std::vector<ReflectionValues> values(chunk);
    for (std::size_t first = 0; first < total; first += chunk) {
      const std::span<ReflectionValues> part(values.data(), std::min(chunk, total - first));
      loop.compute(first, part);
      for (const ReflectionValues& v : part) consume(v);
    }
    return;
  }
  ChunkRing ring(loop, chunk, std::min<std::size_t>(static_cast<std::size_t>(threads), chunks));
  Workers workers(ring, std::min<std::size_t>(static_cast<std::size_t>(threads), chunks));
  for (std::size_t k = 0; k < ring.chunks(); ++k) {
    for (const ReflectionValues& v : ring.wait_for(k)) consume(v);
    ring.release(k);
  }
}

int reflection_threads() {
  if (const char* text = std::getenv("VELMORA_THREADS")) {
    int n = 0;
    const char* end = text + std::strlen(text);
    const auto [stop, error] = std::from_chars(text, end, n);
    if (error == std::errc() && stop == end && n >= 1 && n <= kMostThreads) return n;
  }
  const unsigned hardware = std::thread::hardware_concurrency();
  return hardware == 0 ? 1 : static_cast<int>(std::min<unsigned>(hardware, kMostThreads));
}

}  // namespace velmora
