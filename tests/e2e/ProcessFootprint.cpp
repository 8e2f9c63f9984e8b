#include "tests/e2e/ProcessFootprint.h"

#if defined(_WIN32)
#include <windows.h>
#include <tlhelp32.h>

#include <vector>
#else
#include <malloc.h>
#include <pthread.h>

#include <cstddef>
#include <filesystem>
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// The sanitizer runtime's allocator statistics (GCC installs no header for them).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif
#endif

namespace {

#if defined(_WIN32)

// Busy blocks in every heap of the process: the C runtime's and the system's own.
std::int64_t bytesInUse()
{
    std::vector<HANDLE> heaps(GetProcessHeaps(0, nullptr) + 16);
    heaps.resize(GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data()));
    std::int64_t total = 0;
    for (HANDLE heap : heaps) {
        if (!HeapLock(heap))
            continue;
        PROCESS_HEAP_ENTRY entry = {};
        while (HeapWalk(heap, &entry)) {
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
                total += entry.cbData;
        }
        HeapUnlock(heap);
    }
    return total;
}

int threadCount()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    int count = 0;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId())
            ++count;
    }
    CloseHandle(snapshot);
    return count;
}

// Wine answers GetProcessHandleCount with 0, so the handles are counted one by one. The
// system hands out the lowest free values, multiples of four.
int openHandleCount()
{
    constexpr ULONG_PTR kValuesProbed = 1 << 16;
    int count = 0;
    DWORD flags = 0;
    for (ULONG_PTR value = 4; value < kValuesProbed; value += 4) {
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags))
            ++count;
    }
    return count;
}

int lowestFreeThreadKey()
{
    const DWORD key = TlsAlloc();
    if (key == TLS_OUT_OF_INDEXES)
        return -1;
    TlsFree(key);
    return static_cast<int>(key);
}

#else

std::int64_t bytesInUse()
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // The sanitizer's allocator serves every allocation; the C library's heap sees none.
    return static_cast<std::int64_t>(__sanitizer_get_current_allocated_bytes());
#else
    return static_cast<std::int64_t>(mallinfo2().uordblks);
#endif
}

int entriesIn(const char* folder)
{
    int count = 0;
    for (auto it = std::filesystem::directory_iterator(folder); it != std::filesystem::directory_iterator(); ++it)
        ++count;
    return count;
}

int threadCount()
{
    return entriesIn("/proc/self/task");
}

int openHandleCount()
{
    return entriesIn("/proc/self/fd");
}

int lowestFreeThreadKey()
{
    pthread_key_t key;
    if (pthread_key_create(&key, nullptr) != 0)
        return -1;
    pthread_key_delete(key);
    return static_cast<int>(key);
}

#endif

}  // namespace

ProcessFootprint ProcessFootprint::measure()
{
    return {bytesInUse(), threadCount(), openHandleCount(), lowestFreeThreadKey()};
}
