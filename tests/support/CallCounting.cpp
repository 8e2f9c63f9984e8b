#include "tests/support/CallCounting.h"

#include <dlfcn.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <semaphore.h>
#include <sys/select.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstddef>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void* __libc_valloc(size_t size);
void* __libc_pvalloc(size_t size);
void __libc_free(void* pointer);
}

namespace {

thread_local bool counting = false;
std::atomic<long> allocations{0};
std::atomic<long> releases{0};
std::atomic<long> locks{0};
std::atomic<long> systemCalls{0};

void countAllocation()
{
    if (counting)
        allocations.fetch_add(1, std::memory_order_relaxed);
}

void countSystemCall()
{
    if (counting)
        systemCalls.fetch_add(1, std::memory_order_relaxed);
}

// The C library's own functions, found before main so that no counted call looks them up.
template <typename F>
F next(const char* name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

struct Originals {
    int (*mutexLock)(pthread_mutex_t*) = next<int (*)(pthread_mutex_t*)>("pthread_mutex_lock");
    ssize_t (*read)(int, void*, size_t) = next<ssize_t (*)(int, void*, size_t)>("read");
    ssize_t (*write)(int, const void*, size_t) = next<ssize_t (*)(int, const void*, size_t)>("write");
    int (*nanosleep)(const timespec*, timespec*) = next<int (*)(const timespec*, timespec*)>("nanosleep");
    int (*clockNanosleep)(clockid_t, int, const timespec*, timespec*) =
        next<int (*)(clockid_t, int, const timespec*, timespec*)>("clock_nanosleep");
    int (*usleep)(useconds_t) = next<int (*)(useconds_t)>("usleep");
    int (*poll)(pollfd*, nfds_t, int) = next<int (*)(pollfd*, nfds_t, int)>("poll");
    int (*select)(int, fd_set*, fd_set*, fd_set*, timeval*) =
        next<int (*)(int, fd_set*, fd_set*, fd_set*, timeval*)>("select");
    int (*schedYield)() = next<int (*)()>("sched_yield");
    int (*semPost)(sem_t*) = next<int (*)(sem_t*)>("sem_post");
    int (*semWait)(sem_t*) = next<int (*)(sem_t*)>("sem_wait");
};

const Originals& originals()
{
    static const Originals found;
    return found;
}

__attribute__((constructor)) void findOriginals() { originals(); }

}  // namespace

#define KORVALEX_HOOK extern "C" __attribute__((visibility("default")))

KORVALEX_HOOK void* malloc(size_t size)
{
    countAllocation();
    return __libc_malloc(size);
}

KORVALEX_HOOK void* calloc(size_t count, size_t size)
{
    countAllocation();
    return __libc_calloc(count, size);
}

KORVALEX_HOOK void* realloc(void* pointer, size_t size)
{
    countAllocation();
    return __libc_realloc(pointer, size);
}

KORVALEX_HOOK void* memalign(size_t alignment, size_t size)
{
    countAllocation();
    return __libc_memalign(alignment, size);
}

KORVALEX_HOOK void* aligned_alloc(size_t alignment, size_t size)
{
    countAllocation();
    return __libc_memalign(alignment, size);
}

KORVALEX_HOOK int posix_memalign(void** result, size_t alignment, size_t size)
{
    countAllocation();
    if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0)
        return EINVAL;
    void* p = __libc_memalign(alignment, size);
    if (!p)
        return ENOMEM;
    *result = p;
    return 0;
}

KORVALEX_HOOK void* valloc(size_t size)
{
    countAllocation();
    return __libc_valloc(size);
}

KORVALEX_HOOK void* pvalloc(size_t size)
{
    countAllocation();
    return __libc_pvalloc(size);
}

KORVALEX_HOOK void free(void* pointer)
{
    if (pointer && counting)
        releases.fetch_add(1, std::memory_order_relaxed);
    __libc_free(pointer);
}

KORVALEX_HOOK int pthread_mutex_lock(pthread_mutex_t* mutex)
{
    if (counting)
        locks.fetch_add(1, std::memory_order_relaxed);
    return originals().mutexLock(mutex);
}

KORVALEX_HOOK ssize_t read(int fd, void* buffer, size_t size)
{
    countSystemCall();
    return originals().read(fd, buffer, size);
}

KORVALEX_HOOK ssize_t write(int fd, const void* buffer, size_t size)
{
    countSystemCall();
    return originals().write(fd, buffer, size);
}

KORVALEX_HOOK int nanosleep(const timespec* duration, timespec* remaining)
{
    countSystemCall();
    return originals().nanosleep(duration, remaining);
}

KORVALEX_HOOK int clock_nanosleep(clockid_t clock, int flags, const timespec* duration, timespec* remaining)
{
    countSystemCall();
    return originals().clockNanosleep(clock, flags, duration, remaining);
}

KORVALEX_HOOK int usleep(useconds_t microseconds)
{
    countSystemCall();
    return originals().usleep(microseconds);
}

KORVALEX_HOOK int poll(pollfd* fds, nfds_t count, int timeout)
{
    countSystemCall();
    return originals().poll(fds, count, timeout);
}

KORVALEX_HOOK int select(int count, fd_set* readable, fd_set* writable, fd_set* failed, timeval* timeout)
{
    countSystemCall();
    return originals().select(count, readable, writable, failed, timeout);
}

KORVALEX_HOOK int sched_yield()
{
    countSystemCall();
    return originals().schedYield();
}

KORVALEX_HOOK int sem_post(sem_t* semaphore)
{
    countSystemCall();
    return originals().semPost(semaphore);
}

KORVALEX_HOOK int sem_wait(sem_t* semaphore)
{
    countSystemCall();
    return originals().semWait(semaphore);
}

namespace callcount {

namespace {

Counts now()
{
    Counts c;
    c.allocations = allocations.load();
    c.releases = releases.load();
    c.locks = locks.load();
    c.systemCalls = systemCalls.load();
    return c;
}

}  // namespace

CountingScope::CountingScope() : start_(now()) { counting = true; }

CountingScope::~CountingScope() { counting = false; }

Counts CountingScope::counts() const
{
    const Counts end = now();
    Counts c;
    c.allocations = end.allocations - start_.allocations;
    c.releases = end.releases - start_.releases;
    c.locks = end.locks - start_.locks;
    c.systemCalls = end.systemCalls - start_.systemCalls;
    return c;
}

}  // namespace callcount
