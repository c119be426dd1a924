#include "heap_limit.hpp"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
#define HEAP_LIMIT_COUNTS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HEAP_LIMIT_COUNTS 1
#endif
#endif

#ifdef HEAP_LIMIT_COUNTS
// From the sanitizers' allocator interface (GCC ships the runtime without the header).
extern "C" {
int __sanitizer_install_malloc_and_free_hooks(void (*mallocHook)(const volatile void*, std::size_t),
                                              void (*freeHook)(const volatile void*));
int __sanitizer_get_ownership(const volatile void* p);
std::size_t __sanitizer_get_allocated_size(const volatile void* p);
}
#endif

namespace {

std::atomic<long long> liveBytes{0};
std::atomic<long long> baseBytes{0};
std::atomic<long long> peakAbove{0};
std::atomic<long long> limitBytes{0};  // 0: no input running

#ifdef HEAP_LIMIT_COUNTS
void onMalloc(const volatile void*, std::size_t size)
{
    const long long live =
        liveBytes.fetch_add(static_cast<long long>(size), std::memory_order_relaxed) + static_cast<long long>(size);
    const long long limit = limitBytes.load(std::memory_order_relaxed);
    if (limit == 0)
        return;
    const long long above = live - baseBytes.load(std::memory_order_relaxed);
    long long peak = peakAbove.load(std::memory_order_relaxed);
    while (above > peak && !peakAbove.compare_exchange_weak(peak, above, std::memory_order_relaxed)) {}
    if (above > limit) {
        std::fprintf(stderr, "==heap limit== one input holds %lld MB on the heap, more than %lld MB\n", above >> 20,
                     limit >> 20);
        std::abort();
    }
}

void onFree(const volatile void* p)
{
    if (p && __sanitizer_get_ownership(p))
        liveBytes.fetch_sub(static_cast<long long>(__sanitizer_get_allocated_size(p)), std::memory_order_relaxed);
}

[[maybe_unused]] const bool hooked = __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree) != 0;
#endif

}  // namespace

HeapLimit::HeapLimit(std::size_t mostBytes)
{
    baseBytes.store(liveBytes.load());
    peakAbove.store(0);
    limitBytes.store(static_cast<long long>(mostBytes));
}

HeapLimit::~HeapLimit() { limitBytes.store(0); }

bool HeapLimit::counts()
{
#ifdef HEAP_LIMIT_COUNTS
    return true;
#else
    return false;
#endif
}

std::size_t HeapLimit::peakBytes() { return static_cast<std::size_t>(peakAbove.load()); }
