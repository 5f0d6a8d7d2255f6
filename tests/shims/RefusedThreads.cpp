// Preloaded into the command-line tool by tests: pthread_create succeeds
// PLASTORA_TEST_THREADS times, then fails with EAGAIN, as when a process
// reaches its thread limit or has no memory left for a thread's stack. Every
// way the program starts threads (OpenCV's pool, std::async, libgomp) goes
// through it.
#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

namespace {

using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);

std::atomic<long> g_left{-1};  // -1: not yet read from the environment

}  // namespace

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*start)(void*), void* arg) {
    static const auto real = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "pthread_create"));
    long expected = -1;
    if (g_left.load() == -1) {
        const char* given = std::getenv("PLASTORA_TEST_THREADS");
        g_left.compare_exchange_strong(expected, given ? std::strtol(given, nullptr, 10) : 1L << 30);
    }
    if (g_left.fetch_sub(1) <= 0 || !real) return EAGAIN;
    return real(thread, attr, start, arg);
}
