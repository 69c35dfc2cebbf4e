// SPDX-License-Identifier: GPL-3.0-or-later
// Threads: CreateThread, WaitForSingleObject on a thread handle, its exit code, the processors it may
// run on and CloseHandle. A
// thread's handle is signalled once its function has returned; closing the handle leaves the thread
// running, as on the desktop. The page has no threads: CreateThread fails there and callers carry on
// with one.
#include "files/system_handles.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <sched.h>

namespace platform::threads {
namespace {

// What the thread and the holders of its handle share; it lives as long as either needs it.
struct ThreadState {
    LPTHREAD_START_ROUTINE start = nullptr;
    LPVOID parameter = nullptr;
    pthread_t thread {};
    std::mutex lock;
    std::condition_variable done;
    bool suspended = false; // created with CREATE_SUSPENDED and not resumed yet
    std::condition_variable resumed;
    bool finished = false;
    bool joined = false;
    DWORD exit_code = STILL_ACTIVE;
};

struct ThreadRecord {
    std::shared_ptr<ThreadState> state;
};

struct ThreadTable {
    std::mutex lock;
    HandleTable<ThreadRecord> handles {tag_thread, first_generation(0)};
};

ThreadTable& thread_table()
{
    static ThreadTable table;
    return table;
}

std::shared_ptr<ThreadState> find_thread(HANDLE handle)
{
    ThreadTable& table = thread_table();
    std::lock_guard guard(table.lock);
    const ThreadRecord* record = table.handles.get(reinterpret_cast<uintptr_t>(handle));
    return record != nullptr ? record->state : nullptr;
}

#if !defined(__EMSCRIPTEN__) || defined(__EMSCRIPTEN_PTHREADS__)
void* run_thread(void* argument)
{
    // The thread holds its own reference, so its state outlives a handle closed while it runs.
    std::unique_ptr<std::shared_ptr<ThreadState>> own(static_cast<std::shared_ptr<ThreadState>*>(argument));
    ThreadState& state = **own;
    {
        std::unique_lock guard(state.lock);
        state.resumed.wait(guard, [&] { return !state.suspended; });
    }
    const DWORD code = state.start(state.parameter);
    std::lock_guard guard(state.lock);
    state.exit_code = code;
    state.finished = true;
    state.done.notify_all();
    return nullptr;
}
#endif

// Joins a finished thread once, whichever holder gets there first; the state's lock is held.
void reap(ThreadState& state)
{
    if (state.finished && !state.joined) {
        pthread_join(state.thread, nullptr);
        state.joined = true;
    }
}

} // namespace

bool close_thread(HANDLE handle)
{
    std::shared_ptr<ThreadState> state;
    {
        ThreadTable& table = thread_table();
        std::lock_guard guard(table.lock);
        const uintptr_t value = reinterpret_cast<uintptr_t>(handle);
        const ThreadRecord* record = table.handles.get(value);
        if (record == nullptr)
            return false;
        state = record->state;
        table.handles.remove(value);
    }
    std::lock_guard guard(state->lock);
    reap(*state);
    if (!state->joined) {
        // As on the desktop, a thread created suspended and never resumed stays so.
        pthread_detach(state->thread);
        state->joined = true; // nobody joins a detached thread
    }
    return true;
}

} // namespace platform::threads

using platform::threads::ThreadRecord;
using platform::threads::ThreadState;

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T stackSize, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                           DWORD flags, LPDWORD threadId)
{
    if (start == nullptr || (flags & ~CREATE_SUSPENDED) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
    (void)stackSize;
    (void)parameter;
    (void)threadId;
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
#else
    auto state = std::make_shared<ThreadState>();
    state->start = start;
    state->parameter = parameter;
    state->suspended = (flags & CREATE_SUSPENDED) != 0;
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    if (stackSize > 0)
        pthread_attr_setstacksize(&attributes, stackSize);
    auto* reference = new std::shared_ptr<ThreadState>(state);
    // The record is in the table before the thread runs, so the handle is valid from its first instant.
    std::lock_guard state_guard(state->lock);
    const int failed = pthread_create(&state->thread, &attributes, platform::threads::run_thread, reference);
    pthread_attr_destroy(&attributes);
    if (failed != 0) {
        delete reference;
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    auto& table = platform::threads::thread_table();
    std::lock_guard table_guard(table.lock);
    const uintptr_t handle = table.handles.add(std::make_unique<ThreadRecord>(ThreadRecord {state}));
    if (handle == 0) {
        pthread_detach(state->thread);
        state->joined = true;
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    if (threadId != nullptr)
        *threadId = static_cast<DWORD>(handle >> 8);
    return reinterpret_cast<HANDLE>(handle);
#endif
}

// The previous suspend count (1 for a thread created suspended, then 0), or (DWORD)-1 for no thread.
DWORD WINAPI ResumeThread(HANDLE thread)
{
    std::shared_ptr<ThreadState> state = platform::threads::find_thread(thread);
    if (state == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return static_cast<DWORD>(-1);
    }
    std::lock_guard guard(state->lock);
    const DWORD previous = state->suspended ? 1 : 0;
    state->suspended = false;
    state->resumed.notify_all();
    return previous;
}

DWORD WINAPI WaitForSingleObject(HANDLE object, DWORD milliseconds)
{
    std::shared_ptr<ThreadState> state = platform::threads::find_thread(object);
    if (state == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    std::unique_lock guard(state->lock);
    const auto finished = [&] { return state->finished; };
    if (milliseconds == INFINITE)
        state->done.wait(guard, finished);
    else if (!state->done.wait_for(guard, std::chrono::milliseconds(milliseconds), finished))
        return WAIT_TIMEOUT;
    platform::threads::reap(*state);
    return WAIT_OBJECT_0;
}

BOOL WINAPI GetExitCodeThread(HANDLE thread, LPDWORD exitCode)
{
    std::shared_ptr<ThreadState> state = platform::threads::find_thread(thread);
    if (state == nullptr || exitCode == nullptr) {
        SetLastError(state == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard guard(state->lock);
    *exitCode = state->exit_code;
    return TRUE;
}

namespace {

const HANDLE current_process = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
const HANDLE current_thread = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-2));

#if !defined(__EMSCRIPTEN__)
constexpr int mask_bits = static_cast<int>(sizeof(DWORD_PTR) * 8);

DWORD_PTR mask_of(const cpu_set_t& set)
{
    DWORD_PTR mask = 0;
    for (int cpu = 0; cpu < mask_bits && cpu < CPU_SETSIZE; ++cpu)
        if (CPU_ISSET(cpu, &set))
            mask |= static_cast<DWORD_PTR>(1) << cpu;
    return mask;
}
#endif

} // namespace

HANDLE WINAPI GetCurrentProcess(void)
{
    return current_process;
}

HANDLE WINAPI GetCurrentThread(void)
{
    return current_thread;
}

#if defined(__EMSCRIPTEN__)
// The page runs on one processor and keeps it.
DWORD WINAPI GetCurrentProcessorNumber(void)
{
    return 0;
}

BOOL WINAPI GetProcessAffinityMask(HANDLE process, PDWORD_PTR processMask, PDWORD_PTR systemMask)
{
    if (process != current_process || processMask == nullptr || systemMask == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *processMask = *systemMask = 1;
    return TRUE;
}

DWORD_PTR WINAPI SetThreadAffinityMask(HANDLE, DWORD_PTR)
{
    SetLastError(ERROR_NOT_SUPPORTED);
    return 0;
}
#else
DWORD WINAPI GetCurrentProcessorNumber(void)
{
    const int cpu = sched_getcpu();
    return cpu < 0 ? 0 : static_cast<DWORD>(cpu);
}

// Only the calling process; the system mask is that of the processors the process may use as well.
BOOL WINAPI GetProcessAffinityMask(HANDLE process, PDWORD_PTR processMask, PDWORD_PTR systemMask)
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (process != current_process || processMask == nullptr || systemMask == nullptr ||
        sched_getaffinity(0, sizeof set, &set) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *processMask = *systemMask = mask_of(set);
    return TRUE;
}

// The previous mask, or 0 when the handle is no running thread or the mask names no usable processor.
DWORD_PTR WINAPI SetThreadAffinityMask(HANDLE thread, DWORD_PTR mask)
{
    pthread_t target = pthread_self();
    std::shared_ptr<ThreadState> state;
    if (thread != current_thread) {
        state = platform::threads::find_thread(thread);
        if (state == nullptr) {
            SetLastError(ERROR_INVALID_HANDLE);
            return 0;
        }
    }
    std::unique_lock<std::mutex> guard;
    if (state != nullptr) {
        guard = std::unique_lock(state->lock);
        if (state->joined) {
            SetLastError(ERROR_INVALID_HANDLE);
            return 0;
        }
        target = state->thread;
    }
    cpu_set_t previous, wanted;
    CPU_ZERO(&previous);
    CPU_ZERO(&wanted);
    for (int cpu = 0; cpu < mask_bits && cpu < CPU_SETSIZE; ++cpu)
        if (mask & static_cast<DWORD_PTR>(1) << cpu)
            CPU_SET(cpu, &wanted);
    if (mask == 0 || pthread_getaffinity_np(target, sizeof previous, &previous) != 0 ||
        pthread_setaffinity_np(target, sizeof wanted, &wanted) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return mask_of(previous);
}
#endif
