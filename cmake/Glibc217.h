// What the build-only binding sources of the Linux release trees share
// (Glibc217.cpp for the library, Glibc217Programs.cpp for the test programs).
#pragma once

#if defined(__x86_64__)
#define VELTRA_GLIBC(x86_64, i386) x86_64
#elif defined(__i386__)
#define VELTRA_GLIBC(x86_64, i386) i386
#else
#error "the versions bound are those of x86_64 and i386"
#endif

// __wrap_NAME calls NAME@VERSION (the newest version of NAME up to 2.17).
#define VELTRA_OLD_VERSION(name, version, result, params, args) \
    extern "C" result veltra_old_##name params;                 \
    __asm__(".symver veltra_old_" #name "," #name "@" version); \
    extern "C" result __wrap_##name params { return veltra_old_##name args; }
