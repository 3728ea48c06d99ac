// Counts the bytes the test process holds on the heap, so that stories can
// show that long runs and many rebuilds do not grow the program's memory.
// Every replaceable form of new and delete goes through here, so the counts
// pair up (and sanitizers see matching allocation functions).
#include <malloc.h>

#include <cstdint>
#include <cstdlib>
#include <new>

namespace morsello::test {

namespace {
std::int64_t g_live = 0;

void* take(std::size_t n) noexcept {
  void* p = std::malloc(n ? n : 1);
  if (p) g_live += static_cast<std::int64_t>(malloc_usable_size(p));
  return p;
}

void give(void* p) noexcept {
  if (!p) return;
  g_live -= static_cast<std::int64_t>(malloc_usable_size(p));
  std::free(p);
}
}  // namespace

std::int64_t live_heap_bytes() { return g_live; }

}  // namespace morsello::test

using morsello::test::give;
using morsello::test::take;

void* operator new(std::size_t n) {
  if (void* p = take(n)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return operator new(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return take(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return take(n); }
void operator delete(void* p) noexcept { give(p); }
void operator delete[](void* p) noexcept { give(p); }
void operator delete(void* p, std::size_t) noexcept { give(p); }
void operator delete[](void* p, std::size_t) noexcept { give(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { give(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { give(p); }
