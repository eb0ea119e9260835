// Build-only source of the test programs of the Linux release trees, beside
// cmake/Glibc217.cpp (which binds what the library calls): what a program
// calls beyond that, bound to what glibc 2.17 has, so that the same test
// programs run on an older system too (./run compat). In glibc 2.34 the
// functions of libdl and libutil moved into libc with the version GLIBC_2.34
// (their older versions stay in libdl and libutil, NEEDED); stat became a
// function of its own in 2.33 (before, __xstat with a layout number).
#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <pty.h>
#include <sys/stat.h>

#include "Glibc217.h"

constexpr int kStatLayout = VELTRA_GLIBC(1, 3);  // _STAT_VER of the older headers

VELTRA_OLD_VERSION(dlopen, VELTRA_GLIBC("GLIBC_2.2.5", "GLIBC_2.1"), void*, (const char* file, int mode), (file, mode))
VELTRA_OLD_VERSION(dlsym, VELTRA_GLIBC("GLIBC_2.2.5", "GLIBC_2.0"), void*, (void* handle, const char* name),
                   (handle, name))
VELTRA_OLD_VERSION(dlclose, VELTRA_GLIBC("GLIBC_2.2.5", "GLIBC_2.0"), int, (void* handle), (handle))
VELTRA_OLD_VERSION(dlerror, VELTRA_GLIBC("GLIBC_2.2.5", "GLIBC_2.0"), char*, (void), ())
VELTRA_OLD_VERSION(pthread_key_delete, VELTRA_GLIBC("GLIBC_2.2.5", "GLIBC_2.0"), int, (pthread_key_t key), (key))
VELTRA_OLD_VERSION(openpty, VELTRA_GLIBC("GLIBC_2.2.5", "GLIBC_2.0"), int,
                   (int* master, int* terminal, char* name, const struct termios* settings, const struct winsize* size),
                   (master, terminal, name, settings, size))
VELTRA_OLD_VERSION(__xstat, VELTRA_GLIBC("GLIBC_2.2.5", "GLIBC_2.0"), int,
                   (int layout, const char* path, struct stat* buffer), (layout, path, buffer))

extern "C" int __wrap_stat(const char* path, struct stat* buffer) { return __wrap___xstat(kStatLayout, path, buffer); }

// The start of a program. Since 2.34 the C library runs the program's
// constructors itself, and its start files pass no function for them; an
// older __libc_start_main runs only the function it is given. It is given
// one that does what the older start files' did (the program's _init, then
// its constructor table); a newer C library, given one, runs that instead.
using MainFunction = int (*)(int, char**, char**);
using Function = void (*)();
using Constructor = void (*)(int, char**, char**);
extern "C" int veltra_old___libc_start_main(MainFunction main, int argc, char** argv, MainFunction init, Function fini,
                                            Function loaderFini, void* stackEnd);
__asm__(".symver veltra_old___libc_start_main,__libc_start_main@" VELTRA_GLIBC("GLIBC_2.2.5", "GLIBC_2.0"));
extern "C" void _init();
extern "C" Constructor __init_array_start[];
extern "C" Constructor __init_array_end[];

namespace {
int RunConstructors(int argc, char** argv, char** environment) {
    _init();
    for (Constructor* c = __init_array_start; c != __init_array_end; ++c) (*c)(argc, argv, environment);
    return 0;
}
}  // namespace

extern "C" int __wrap___libc_start_main(MainFunction main, int argc, char** argv, MainFunction /*init*/, Function fini,
                                        Function loaderFini, void* stackEnd) {
    return veltra_old___libc_start_main(main, argc, argv, RunConstructors, fini, loaderFini, stackEnd);
}
