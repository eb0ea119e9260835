// Build-only source of the Linux release trees (cmake/PortableRuntime.cmake):
// binds the C library functions that the Native API library and the programs
// built beside it call to versions that glibc 2.17 already has, so that they
// load on every Linux from glibc 2.17 on although they are linked on a newer
// one.
//
// The linker binds each call to the default version of the C library it links
// against. In glibc 2.34 the thread functions and dladdr moved into libc and
// took the new default version GLIBC_2.34; their older versions are still
// there (in libc on newer systems, in libpthread and libdl, both NEEDED, on
// older ones). The link wraps each such name (-Wl,--wrap=NAME): every call to
// NAME, from this project's code and from the static C++ runtime alike, comes
// to __wrap_NAME here, which calls the older version. The two functions that
// have no older version are done here with older ones.
#include <dlfcn.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdlib.h>
#include <time.h>

#include "Glibc217.h"

using StartRoutine = void* (*)(void*);
using Destructor = void (*)(void*);

VELTRA_OLD_VERSION(pthread_create, VELTRA_GLIBC("GLIBC_2.2.5", "GLIBC_2.1"), int,
                   (pthread_t * thread, const pthread_attr_t* attr, StartRoutine start, void* arg),
                   (thread, attr, start, arg))
VELTRA_OLD_VERSION(pthread_detach, VELTRA_GLIBC("GLIBC_2.2.5", "GLIBC_2.0"), int, (pthread_t thread), (thread))
VELTRA_OLD_VERSION(pthread_join, VELTRA_GLIBC("GLIBC_2.2.5", "GLIBC_2.0"), int, (pthread_t thread, void** result),
                   (thread, result))
VELTRA_OLD_VERSION(pthread_once, VELTRA_GLIBC("GLIBC_2.2.5", "GLIBC_2.0"), int,
                   (pthread_once_t * once, void (*init)(void)), (once, init))
VELTRA_OLD_VERSION(pthread_key_create, VELTRA_GLIBC("GLIBC_2.2.5", "GLIBC_2.0"), int,
                   (pthread_key_t * key, Destructor destructor), (key, destructor))
VELTRA_OLD_VERSION(pthread_getspecific, VELTRA_GLIBC("GLIBC_2.2.5", "GLIBC_2.0"), void*, (pthread_key_t key), (key))
VELTRA_OLD_VERSION(pthread_setspecific, VELTRA_GLIBC("GLIBC_2.2.5", "GLIBC_2.0"), int,
                   (pthread_key_t key, const void* value), (key, value))
VELTRA_OLD_VERSION(pthread_mutex_trylock, VELTRA_GLIBC("GLIBC_2.2.5", "GLIBC_2.0"), int, (pthread_mutex_t * mutex),
                   (mutex))
VELTRA_OLD_VERSION(pthread_mutexattr_init, VELTRA_GLIBC("GLIBC_2.2.5", "GLIBC_2.0"), int, (pthread_mutexattr_t * attr),
                   (attr))
VELTRA_OLD_VERSION(pthread_mutexattr_destroy, VELTRA_GLIBC("GLIBC_2.2.5", "GLIBC_2.0"), int,
                   (pthread_mutexattr_t * attr), (attr))
VELTRA_OLD_VERSION(pthread_mutexattr_settype, VELTRA_GLIBC("GLIBC_2.2.5", "GLIBC_2.1"), int,
                   (pthread_mutexattr_t * attr, int kind), (attr, kind))
VELTRA_OLD_VERSION(pthread_rwlock_rdlock, VELTRA_GLIBC("GLIBC_2.2.5", "GLIBC_2.1"), int, (pthread_rwlock_t * lock),
                   (lock))
VELTRA_OLD_VERSION(pthread_rwlock_wrlock, VELTRA_GLIBC("GLIBC_2.2.5", "GLIBC_2.1"), int, (pthread_rwlock_t * lock),
                   (lock))
VELTRA_OLD_VERSION(pthread_rwlock_unlock, VELTRA_GLIBC("GLIBC_2.2.5", "GLIBC_2.1"), int, (pthread_rwlock_t * lock),
                   (lock))
VELTRA_OLD_VERSION(dladdr, VELTRA_GLIBC("GLIBC_2.2.5", "GLIBC_2.0"), int, (const void* address, Dl_info* info),
                   (address, info))

// fcntl took a new version on i386 in 2.28 (on x86_64 it has one only). Its
// third argument, where there is one, is an integer or a pointer: passed on
// as a pointer-sized value, as the C library itself reads it.
extern "C" int veltra_old_fcntl(int fd, int command, void* argument);
__asm__(".symver veltra_old_fcntl,fcntl@" VELTRA_GLIBC("GLIBC_2.2.5", "GLIBC_2.0"));
extern "C" int __wrap_fcntl(int fd, int command, ...) {
    va_list arguments;
    va_start(arguments, command);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    return veltra_old_fcntl(fd, command, argument);
}

// pthread_cond_clockwait (2.30) waits until a deadline on a chosen clock;
// the C++ runtime passes the monotonic clock of std::chrono::steady_clock.
// pthread_cond_timedwait takes a deadline on the realtime clock: the time
// left is carried over to it. A realtime clock set back meanwhile makes such
// a wait end late, never early; the caller checks its own clock on waking.
extern "C" int __wrap_pthread_cond_clockwait(pthread_cond_t* cond, pthread_mutex_t* mutex, clockid_t clock,
                                             const struct timespec* deadline) {
    if (clock == CLOCK_REALTIME) return pthread_cond_timedwait(cond, mutex, deadline);
    constexpr long long kNanosPerSecond = 1000000000;
    struct timespec now {};
    struct timespec realNow {};
    clock_gettime(clock, &now);
    clock_gettime(CLOCK_REALTIME, &realNow);
    long long left =
        (static_cast<long long>(deadline->tv_sec) - now.tv_sec) * kNanosPerSecond + (deadline->tv_nsec - now.tv_nsec);
    if (left < 0) left = 0;
    const long long nanos = realNow.tv_nsec + left % kNanosPerSecond;
    struct timespec realDeadline {};
    realDeadline.tv_sec = static_cast<time_t>(realNow.tv_sec + left / kNanosPerSecond + nanos / kNanosPerSecond);
    realDeadline.tv_nsec = static_cast<long>(nanos % kNanosPerSecond);
    return pthread_cond_timedwait(cond, mutex, &realDeadline);
}

// __cxa_thread_atexit_impl (2.18) runs the destructors of a thread's
// thread_local objects when the thread ends. Here a thread-specific key does
// it: its destructor runs the thread's list, newest first, and the C library
// calls it again if a destructor registered another object meanwhile. The
// objects of the main thread are not destroyed at exit; the process ends
// anyway. The module argument serves to keep a library loaded while its
// destructors are pending: the release library is never unloaded (-z nodelete).
namespace {

struct ThreadExitEntry {
    Destructor destroy;
    void* object;
    ThreadExitEntry* next;
};

pthread_key_t threadExitKey;
pthread_once_t threadExitKeyOnce = PTHREAD_ONCE_INIT;
bool threadExitKeyMade = false;

void RunThreadExitList(void* list) {
    for (auto* entry = static_cast<ThreadExitEntry*>(list); entry != nullptr;) {
        ThreadExitEntry* next = entry->next;
        entry->destroy(entry->object);
        free(entry);
        entry = next;
    }
}

void MakeThreadExitKey() { threadExitKeyMade = pthread_key_create(&threadExitKey, RunThreadExitList) == 0; }

}  // namespace

extern "C" int __wrap___cxa_thread_atexit_impl(Destructor destroy, void* object, void* /*module*/) {
    pthread_once(&threadExitKeyOnce, MakeThreadExitKey);
    if (!threadExitKeyMade) return -1;
    auto* entry = static_cast<ThreadExitEntry*>(malloc(sizeof(ThreadExitEntry)));
    if (entry == nullptr) return -1;
    entry->destroy = destroy;
    entry->object = object;
    entry->next = static_cast<ThreadExitEntry*>(pthread_getspecific(threadExitKey));
    if (pthread_setspecific(threadExitKey, entry) != 0) {
        free(entry);
        return -1;
    }
    return 0;
}
