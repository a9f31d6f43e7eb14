// Audio thread discipline: while modules play through SDL's dummy audio
// driver, the sound layer's audio callback neither allocates nor takes a
// lock.  (Which data crosses threads is checked by the ThreadSanitizer run of
// the sound tests.)
//
// This executable wraps SDL_OpenAudioDevice: the sound layer's call resolves
// to the definition below, which hands SDL a callback that marks the thread
// as "inside the layer's callback" around the real one (found with dlsym).
// Allocations are counted by replacing malloc and its relatives (normal
// builds) or through the sanitizer's allocation hooks (sanitizer builds,
// whose runtime owns malloc).  Lock calls are counted by replacing the
// pthread lock functions, in normal builds only: ThreadSanitizer has to see
// every lock itself.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>
#include <dlfcn.h>
#include <pthread.h>
#include <semaphore.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "platform/sound.h"
#include "support/test_support.h"
#include "xm_busy.h"
#include "xm_writer.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define VM_SANITIZER_ALLOCATOR 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VM_SANITIZER_ALLOCATOR 1
#endif

#ifdef VM_SANITIZER_ALLOCATOR
#if __has_include(<sanitizer/allocator_interface.h>)
#include <sanitizer/allocator_interface.h>
#else
// gcc installs no header for the allocator hooks, though its sanitizer
// runtimes export the call that installs them.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*,
                                                                             size_t),
                                                         void (*free_hook)(const volatile void*));
#endif
#endif

namespace {

// True on a thread while it runs the sound layer's audio callback; set and
// cleared only by watched_callback on that thread.
thread_local bool in_layer_callback = false;

// Allocator calls (allocations and releases) and lock calls made inside the
// callback, and callbacks run; written from any thread, read by the tests.
std::atomic<long> callback_allocator_calls{0};
std::atomic<long> callback_lock_calls{0};
std::atomic<long> callbacks_run{0};

// The sound layer's own callback and its argument, as it passed them to
// SDL_OpenAudioDevice; written before SDL starts the audio thread.
SDL_AudioCallback layer_callback = nullptr;
void* layer_userdata = nullptr;

void note_allocator_call() {
    if (in_layer_callback) callback_allocator_calls.fetch_add(1, std::memory_order_relaxed);
}

[[maybe_unused]] void note_lock_call() {
    if (in_layer_callback) callback_lock_calls.fetch_add(1, std::memory_order_relaxed);
}

void watched_callback(void*, Uint8* stream, int len) {
    in_layer_callback = true;
    layer_callback(layer_userdata, stream, len);
    in_layer_callback = false;
    callbacks_run.fetch_add(1, std::memory_order_relaxed);
}

template <typename Fn> Fn real_function(const char* name) {
    return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

#ifdef VM_SANITIZER_ALLOCATOR
void sanitizer_malloc_hook(const volatile void*, size_t) {
    note_allocator_call();
}
void sanitizer_free_hook(const volatile void*) {
    note_allocator_call();
}
#endif

} // namespace

extern "C" SDL_AudioDeviceID SDL_OpenAudioDevice(const char* device, int iscapture,
                                                 const SDL_AudioSpec* desired,
                                                 SDL_AudioSpec* obtained, int allowed_changes) {
    using OpenFn =
        SDL_AudioDeviceID (*)(const char*, int, const SDL_AudioSpec*, SDL_AudioSpec*, int);
    static OpenFn real_open = real_function<OpenFn>("SDL_OpenAudioDevice");
    SDL_AudioSpec wrapped = *desired;
    layer_callback = desired->callback;
    layer_userdata = desired->userdata;
    wrapped.callback = watched_callback;
    wrapped.userdata = nullptr;
    return real_open(device, iscapture, &wrapped, obtained, allowed_changes);
}

#ifndef VM_SANITIZER_ALLOCATOR
// glibc's allocator under its internal names: the replacements below count
// the call and forward to it, so every block still comes from one allocator.
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void __libc_free(void* block);
void* __libc_memalign(size_t alignment, size_t size);
void* __libc_valloc(size_t size);
void* __libc_pvalloc(size_t size);

void* malloc(size_t size) noexcept {
    note_allocator_call();
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) noexcept {
    note_allocator_call();
    return __libc_calloc(count, size);
}
void* realloc(void* block, size_t size) noexcept {
    note_allocator_call();
    return __libc_realloc(block, size);
}
void free(void* block) noexcept {
    note_allocator_call();
    __libc_free(block);
}
void* memalign(size_t alignment, size_t size) noexcept {
    note_allocator_call();
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size) noexcept {
    note_allocator_call();
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** block, size_t alignment, size_t size) noexcept {
    note_allocator_call();
    if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) return EINVAL;
    void* p = __libc_memalign(alignment, size);
    if (!p) return ENOMEM;
    *block = p;
    return 0;
}
void* valloc(size_t size) noexcept {
    note_allocator_call();
    return __libc_valloc(size);
}
void* pvalloc(size_t size) noexcept {
    note_allocator_call();
    return __libc_pvalloc(size);
}

// Lock calls: counted, then passed to the C library.
#define VM_COUNTED_LOCK(name, params, args)                                                        \
    int name params noexcept {                                                                     \
        using Fn = int(*) params;                                                                  \
        static std::atomic<Fn> real{nullptr};                                                      \
        note_lock_call();                                                                          \
        Fn fn = real.load(std::memory_order_relaxed);                                              \
        if (!fn) {                                                                                 \
            fn = real_function<Fn>(#name);                                                         \
            real.store(fn, std::memory_order_relaxed);                                             \
        }                                                                                          \
        return fn args;                                                                            \
    }

VM_COUNTED_LOCK(pthread_mutex_lock, (pthread_mutex_t * m), (m))
VM_COUNTED_LOCK(pthread_mutex_trylock, (pthread_mutex_t * m), (m))
VM_COUNTED_LOCK(pthread_mutex_timedlock, (pthread_mutex_t * m, const struct timespec* t), (m, t))
VM_COUNTED_LOCK(pthread_rwlock_rdlock, (pthread_rwlock_t * l), (l))
VM_COUNTED_LOCK(pthread_rwlock_wrlock, (pthread_rwlock_t * l), (l))
VM_COUNTED_LOCK(pthread_spin_lock, (pthread_spinlock_t * l), (l))
VM_COUNTED_LOCK(pthread_cond_wait, (pthread_cond_t * c, pthread_mutex_t* m), (c, m))
VM_COUNTED_LOCK(sem_wait, (sem_t * s), (s))
}
#endif

namespace {

constexpr int RATE = 44100;
constexpr int BEAT_INSTRUMENT = 1;

int notes_heard = 0; // beat notes delivered to the main thread

void count_note(SndSong*, int) {
    ++notes_heard;
}

// Reads the clock every millisecond for `ms` of wall time, as frames do.
void play_for(SndSong* song, int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        snd_get_time(song);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// Reads the clock every millisecond, as frames do, until the song has
// played `ms` (however busy the machine: the limit only ends an output that
// stands).
void play_until(SndSong* song, int64_t ms) {
    auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (snd_get_time(song) < ms && std::chrono::steady_clock::now() < give_up)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_GE(snd_get_time(song), ms) << "the output stood";
}

struct AudioThread : ::testing::Test {
    std::string dir = temp_dir_make("sound_thread");
    AudioThread() {
#ifdef VM_SANITIZER_ALLOCATOR
        static bool hooks_installed = false; // the runtime keeps a few hooks only
        if (!hooks_installed)
            hooks_installed = __sanitizer_install_malloc_and_free_hooks(sanitizer_malloc_hook,
                                                                        sanitizer_free_hook) != 0;
        EXPECT_TRUE(hooks_installed);
#endif
        callback_allocator_calls = 0;
        callback_lock_calls = 0;
        callbacks_run = 0;
        notes_heard = 0;
    }
    ~AudioThread() override {
        snd_close();
        temp_dir_remove(dir);
    }
    std::string write(uint32_t seed, const char* name) {
        std::string path = dir + "/" + name;
        XmBusyLayout layout;
        layout.seed = seed;
        EXPECT_TRUE(xm_write_file(xm_busy_module(layout), path.c_str()));
        return path;
    }
};

// The counters see what they are meant to see: allocations and locks made
// while the mark is set, from this executable and from a shared library.
TEST_F(AudioThread, CountersSeeAllocationsAndLocksInsideTheMark) {
    in_layer_callback = true;
    void* volatile block = ::operator new(16); // a call, unlike `new`, is never elided
    void* sdl_block = SDL_malloc(64);
    SDL_free(sdl_block);
    ::operator delete(block);
    long allocations = callback_allocator_calls.load();
#ifndef VM_SANITIZER_ALLOCATOR
    std::mutex mutex;
    mutex.lock();
    mutex.unlock();
    SDL_mutex* sdl_mutex = SDL_CreateMutex();
    long before_sdl_lock = callback_lock_calls.load();
    SDL_LockMutex(sdl_mutex);
    SDL_UnlockMutex(sdl_mutex);
    long sdl_locks = callback_lock_calls.load() - before_sdl_lock;
    SDL_DestroyMutex(sdl_mutex);
#endif
    in_layer_callback = false;
    EXPECT_EQ(allocations, 4); // new, SDL_malloc, SDL_free, delete
#ifndef VM_SANITIZER_ALLOCATOR
    EXPECT_EQ(sdl_locks, 1);
    EXPECT_GE(callback_lock_calls.load(), 2);
#endif
    long outside = callback_allocator_calls.load();
    ::operator delete(::operator new(16));
    EXPECT_EQ(callback_allocator_calls.load(), outside);
}

TEST_F(AudioThread, CallbackNeitherAllocatesNorLocks) {
    ASSERT_TRUE(snd_init(RATE, 32, 0));
    SndSong* first = snd_load_song(write(1, "first.xm").c_str());
    SndSong* second = snd_load_song(write(2, "second.xm").c_str());
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    snd_set_inst_callback(first, count_note, BEAT_INSTRUMENT);
    snd_set_inst_callback(second, count_note, BEAT_INSTRUMENT);
    // Play, restart, switch songs and release one while it plays: each hands
    // the callback a different song or a fresh module.
    ASSERT_TRUE(snd_play_song(first));
    play_until(first, 1500);
    ASSERT_TRUE(snd_play_song(first));
    play_until(first, 400);
    ASSERT_TRUE(snd_play_song(second));
    play_until(second, 400);
    snd_free_song(second);
    play_for(first, 100); // the device plays silence now
    snd_free_song(first);
    snd_close();

    // 2.3 s of song heard in 1024-frame buffers at 44100 Hz: about 100
    // callbacks.
    EXPECT_GE(callbacks_run.load(), 60);
    EXPECT_GT(notes_heard, 10);
    EXPECT_EQ(callback_allocator_calls.load(), 0);
#ifndef VM_SANITIZER_ALLOCATOR
    EXPECT_EQ(callback_lock_calls.load(), 0);
#endif
}

} // namespace
