// Counts the bytes the test process holds on the heap, so that stories can
// show that long runs and many rebuilds do not grow the program's memory.
#include <cstdint>
#include <cstdlib>
#include <malloc.h>
#include <new>

namespace morsello::test {

namespace {
std::int64_t g_live = 0;
}

std::int64_t live_heap_bytes() { return g_live; }

}  // namespace morsello::test

void* operator new(std::size_t n) {
  void* p = std::malloc(n ? n : 1);
  if (!p) throw std::bad_alloc();
  morsello::test::g_live += static_cast<std::int64_t>(malloc_usable_size(p));
  return p;
}

void operator delete(void* p) noexcept {
  if (!p) return;
  morsello::test::g_live -= static_cast<std::int64_t>(malloc_usable_size(p));
  std::free(p);
}

void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
