// pthread_once for the Windows plug-in DLL, on atomics alone.
//
// The DLL carries its own copy of winpthreads, whose pthread_once registers the calling
// thread with it: a thread-local storage slot, a duplicate of the thread's handle, an
// event and some heap, which nothing gives back when the DLL is unloaded. A process has
// 1088 such slots, so a host that loads and unloads the DLL often would run out. The
// runtime calls pthread_once as the 32-bit DLL is loaded (the unwinder registering the
// file's unwind tables) and on the first use of a function-local static; the link
// (-Wl,--wrap=pthread_once) sends every one of those calls here instead.

#include <windows.h>

#include <pthread.h>

#include <cerrno>

namespace {

static_assert(sizeof(pthread_once_t) == sizeof(long), "winpthreads keeps a once flag in a long");

constexpr long kNotRun = PTHREAD_ONCE_INIT;
constexpr long kRunning = 1;
constexpr long kDone = 2;

}  // namespace

extern "C" int __wrap_pthread_once(pthread_once_t* once, void (*init)(void))
{
    if (!once || !init)
        return EINVAL;
    long* state = reinterpret_cast<long*>(once);
    long expected = kNotRun;
    if (__atomic_compare_exchange_n(state, &expected, kRunning, false, __ATOMIC_ACQUIRE, __ATOMIC_ACQUIRE)) {
        init();
        __atomic_store_n(state, kDone, __ATOMIC_RELEASE);
        return 0;
    }
    // Another thread is running init (the runtime's are short): wait for it to finish.
    while (__atomic_load_n(state, __ATOMIC_ACQUIRE) != kDone)
        SwitchToThread();
    return 0;
}
