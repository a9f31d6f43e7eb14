// How long the output holds a buffer before the listener hears it, as the
// sound server reports it for the show's own stream.
//
// PulseAudio (and PipeWire through its PulseAudio service): SDL owns the
// stream and does not tell its latency, so a second connection to the same
// server asks for it.  About every SND_LATENCY_PERIOD_US the watcher lists the
// server's playback streams, takes the one this process plays (its
// "application.process.id") and reads what `pactl list sink-inputs` shows
// for it: the buffer latency (audio received, not yet mixed) plus the sink
// latency (mixed, not yet played).  The figure swings by a few ms as the
// server mixes block by block, and now and then a listing finds the
// stream's queue short or empty for a moment because the audio thread was
// late: the queue is refilled at once and the latency is back where it was.
// A figure asked for while the audio callback is overdue (more than a
// buffer and a quarter since it last ran) is one of those and is left out;
// of the others the watcher keeps the last nine (under half a second),
// takes the mean of those within the swing of the second highest, which
// leaves out the rest of such moments, smooths it, and follows a change
// larger than the swing at once (a stream moved to another sink, a server
// that starts with a long queue of silence).
//
// ALSA: SDL's PCM is out of reach, but the kernel shows every open playback
// substream's state under /proc/asound; the watcher reads the "delay" of the
// one this process owns (through dmix, the shared hardware stream's: the
// first of its clients owns it), with the same care for late callbacks.
//
// Everything runs on the watcher's own thread (libpulse's threaded main loop,
// or a plain thread for ALSA) and is published as one atomic, so the clock
// reads it without waiting.  Other drivers (dummy, disk) report nothing: 0.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/sound_internal.h"

#if !defined(__EMSCRIPTEN__)
#include <dirent.h>
#include <pulse/pulseaudio.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#endif

namespace {

// The latest figure (µs), written by the watcher, read by the clock; the
// browser's entry writes it through snd_report_output_latency.
std::atomic<int64_t> snd_latency_reported_us{0};

// Value of "name : value" lines as the kernel writes PCM status files.
bool snd_alsa_field(const char* text, const char* name, long long* value) {
    size_t length = std::strlen(name);
    for (const char* line = text; line && *line;) {
        const char* p = line;
        while (*p == ' ' || *p == '\t')
            ++p;
        if (std::strncmp(p, name, length) == 0) {
            p += length;
            while (*p == ' ' || *p == '\t')
                ++p;
            if (*p == ':') {
                char* end = nullptr;
                long long parsed = std::strtoll(p + 1, &end, 10);
                if (end != p + 1) {
                    *value = parsed;
                    return true;
                }
            }
        }
        line = std::strchr(line, '\n');
        if (line) ++line;
    }
    return false;
}

#if !defined(__EMSCRIPTEN__)

// How often the watcher asks (50 ms: every third step of the show).
constexpr int64_t SND_LATENCY_PERIOD_US = 50000;
// Each wait is moved by up to this much either way, on a fixed scramble of
// the count of waits, so that the figures do not lock on to the phase of
// the server's blocks or of the device buffer.
constexpr int64_t SND_LATENCY_JITTER_US = 10000;
// Changes larger than this are followed at once, smaller ones smoothed.
constexpr int64_t SND_LATENCY_JUMP_US = 8000;
// Weight of a new figure in the smoothed one: 1 / SND_LATENCY_SMOOTHING.
constexpr int64_t SND_LATENCY_SMOOTHING = 2;
// Figures kept, and how far below the second highest of them a figure may
// lie and still count.
constexpr int SND_LATENCY_WINDOW = 9;
constexpr int64_t SND_LATENCY_SWING_US = 7000;

struct SndLatencyWatch {
    // PulseAudio.
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    pa_time_event* timer = nullptr;
    bool asking = false;      // a listing is under way
    bool late = false;        // the audio callback was overdue when it was asked for
    int64_t buffer_ns = 0;    // the device buffer's length
    bool found = false;       // this listing met the show's stream
    int64_t listed_us = 0;    // its figure
    bool have_figure = false; // something was published since start
    int64_t recent_us[SND_LATENCY_WINDOW] = {}; // the last raw figures
    int recent_count = 0;                       // how many were taken
    uint32_t waits = 0;                         // waits between askings so far
    bool lost = false;                          // no server now: gone, or not found yet
    bool reached = false;                       // a server was reached since start
    pa_time_event* retry = nullptr;             // the next try to reach it again
    // ALSA.
    std::thread alsa_thread;
    std::mutex alsa_mutex;
    std::condition_variable alsa_wake;
    bool alsa_stop = false;
};

SndLatencyWatch snd_watch;

// True when the audio callback has not run for more than a buffer and a
// quarter: the stream's queue is running short, whatever the output's
// latency.
bool snd_callback_overdue() {
    int64_t last = snd_callback_ns.load(std::memory_order_relaxed);
    int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count();
    return last == 0 || now - last > snd_watch.buffer_ns * 5 / 4;
}

// The wait before the next asking.
int64_t snd_latency_wait_us() {
    uint32_t scramble = (++snd_watch.waits * 2654435761u) >> 16; // 0..65535
    return SND_LATENCY_PERIOD_US - SND_LATENCY_JITTER_US +
           static_cast<int64_t>(scramble) * 2 * SND_LATENCY_JITTER_US / 65536;
}

// Folds a new figure into the published one.
void snd_latency_take(int64_t raw_us) {
    const int64_t* recent = snd_watch.recent_us;
    snd_watch.recent_us[snd_watch.recent_count++ % SND_LATENCY_WINDOW] = raw_us;
    int known = std::min(snd_watch.recent_count, SND_LATENCY_WINDOW);
    int64_t highest = INT64_MIN, second = INT64_MIN;
    for (int i = 0; i < known; ++i) {
        second = std::max(second, std::min(highest, recent[i]));
        highest = std::max(highest, recent[i]);
    }
    int64_t top = known > 1 ? second : highest;
    int64_t sum = 0, counted = 0;
    for (int i = 0; i < known; ++i)
        if (recent[i] >= top - SND_LATENCY_SWING_US && recent[i] <= top) {
            sum += recent[i];
            ++counted;
        }
    int64_t figure_us = sum / counted;
    int64_t current = snd_latency_reported_us.load(std::memory_order_relaxed);
    int64_t next = figure_us;
    if (snd_watch.have_figure && std::llabs(figure_us - current) <= SND_LATENCY_JUMP_US)
        next = current + (figure_us - current) / SND_LATENCY_SMOOTHING;
    snd_watch.have_figure = true;
    snd_latency_reported_us.store(next, std::memory_order_relaxed);
}

// ---- PulseAudio ---------------------------------------------------------

void snd_pulse_listed(pa_context*, const pa_sink_input_info* info, int eol, void*) {
    if (eol) {
        snd_watch.asking = false;
        if (eol > 0 && snd_watch.found && !snd_watch.late && !snd_callback_overdue())
            snd_latency_take(snd_watch.listed_us);
        return;
    }
    const char* pid = pa_proplist_gets(info->proplist, PA_PROP_APPLICATION_PROCESS_ID);
    if (snd_watch.found || !pid || std::atol(pid) != static_cast<long>(getpid())) return;
    snd_watch.found = true;
    snd_watch.listed_us = static_cast<int64_t>(info->buffer_usec + info->sink_usec);
}

void snd_pulse_ask(pa_mainloop_api*, pa_time_event* event, const struct timeval*, void*) {
    if (!snd_watch.asking && snd_watch.context &&
        pa_context_get_state(snd_watch.context) == PA_CONTEXT_READY) {
        pa_operation* op =
            pa_context_get_sink_input_info_list(snd_watch.context, snd_pulse_listed, nullptr);
        if (op) {
            snd_watch.late = snd_callback_overdue();
            snd_watch.asking = true;
            snd_watch.found = false;
            pa_operation_unref(op);
        }
    }
    pa_context_rttime_restart(snd_watch.context, event, pa_rtclock_now() + snd_latency_wait_us());
}

// How long the watcher waits before it tries to reach a server that went
// away again.
constexpr int64_t SND_PULSE_RETRY_US = 1000000;

void snd_pulse_state(pa_context* context, void*);
void snd_pulse_lost();

// Tries to reach a server since start (read by the tests).
std::atomic<int> snd_pulse_tries{0};

// A new connection to the server, on the watcher's loop.
bool snd_pulse_connect() {
    snd_pulse_tries.fetch_add(1, std::memory_order_relaxed);
    pa_proplist* props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "vintermoot latency watch");
    snd_watch.context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(snd_watch.loop),
                                                     "vintermoot latency watch", props);
    pa_proplist_free(props);
    if (!snd_watch.context) return false;
    pa_context_set_state_callback(snd_watch.context, snd_pulse_state, nullptr);
    return pa_context_connect(snd_watch.context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0;
}

// Lets the connection go (its timer with it); on the watcher's loop.
void snd_pulse_release() {
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(snd_watch.loop);
    if (snd_watch.timer) api->time_free(snd_watch.timer);
    snd_watch.timer = nullptr;
    snd_watch.asking = false;
    if (!snd_watch.context) return;
    pa_context_set_state_callback(snd_watch.context, nullptr, nullptr);
    pa_context_disconnect(snd_watch.context);
    pa_context_unref(snd_watch.context);
    snd_watch.context = nullptr;
}

void snd_pulse_retry(pa_mainloop_api* api, pa_time_event* event, const struct timeval*, void*) {
    api->time_free(event);
    snd_watch.retry = nullptr;
    snd_pulse_release();
    if (!snd_pulse_connect()) snd_pulse_lost();
}

// The server went away, or none was found: 0 is applied, as nothing is
// held ahead of a listener (or nothing is known of it), and it is tried
// again shortly.  Said once (not at each try), and once more when one is
// reached.
void snd_pulse_lost() {
    if (!snd_watch.lost && snd_watch.reached)
        std::fprintf(stderr, "sound: the sound server went away; the clock applies no latency "
                             "until it is back (the watcher looks for it every second)\n");
    else if (!snd_watch.lost)
        std::fprintf(stderr, "sound: no sound server found to ask for the output's latency; the "
                             "clock applies none (the watcher looks for one every second)\n");
    snd_watch.lost = true;
    snd_watch.have_figure = false;
    snd_watch.recent_count = 0;
    snd_latency_reported_us.store(0, std::memory_order_relaxed);
    if (snd_watch.retry) return;
    timeval when;
    pa_timeval_add(pa_gettimeofday(&when), SND_PULSE_RETRY_US);
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(snd_watch.loop);
    snd_watch.retry = api->time_new(api, &when, snd_pulse_retry, nullptr);
}

void snd_pulse_state(pa_context* context, void*) {
    pa_context_state_t state = context ? pa_context_get_state(context) : PA_CONTEXT_FAILED;
    if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED) {
        snd_pulse_lost();
        return;
    }
    if (state != PA_CONTEXT_READY || snd_watch.timer) return;
    if (snd_watch.lost)
        std::fprintf(stderr, snd_watch.reached
                                 ? "sound: the sound server is back; its latency is applied again\n"
                                 : "sound: found the sound server; its latency is applied\n");
    snd_watch.lost = false;
    snd_watch.reached = true;
    snd_watch.timer = pa_context_rttime_new(context, pa_rtclock_now(), snd_pulse_ask, nullptr);
}

void snd_pulse_stop() {
    if (!snd_watch.loop) return;
    pa_threaded_mainloop_stop(snd_watch.loop);
    if (snd_watch.retry) pa_threaded_mainloop_get_api(snd_watch.loop)->time_free(snd_watch.retry);
    snd_watch.retry = nullptr;
    snd_pulse_release();
    pa_threaded_mainloop_free(snd_watch.loop);
    snd_watch.loop = nullptr;
    snd_watch.lost = false;
    snd_watch.reached = false;
}

bool snd_pulse_start() {
    snd_watch.loop = pa_threaded_mainloop_new();
    if (!snd_watch.loop) return false;
    // A server not reached at once is looked for again, as one gone is.
    if (!snd_pulse_connect()) snd_pulse_lost();
    if (pa_threaded_mainloop_start(snd_watch.loop) < 0) {
        snd_pulse_stop();
        return false;
    }
    return true;
}

// ---- ALSA ---------------------------------------------------------------

// The delay (frames) and rate of the running playback substream this
// process owns, from the kernel's status files; false when there is none.
bool snd_alsa_read(int64_t* delay_frames, int64_t* rate) {
    DIR* proc = opendir("/proc/asound");
    if (!proc) return false;
    bool found = false;
    while (dirent* card = readdir(proc)) {
        if (std::strncmp(card->d_name, "card", 4) != 0) continue;
        std::string card_dir = std::string("/proc/asound/") + card->d_name;
        DIR* pcms = opendir(card_dir.c_str());
        if (!pcms) continue;
        while (dirent* pcm = found ? nullptr : readdir(pcms)) {
            std::string name = pcm->d_name;
            if (name.rfind("pcm", 0) != 0 || name.back() != 'p') continue;
            for (int sub = 0; !found && sub < 32; ++sub) {
                std::string dir = card_dir + "/" + name + "/sub" + std::to_string(sub);
                std::string status = snd_read_small_file((dir + "/status").c_str());
                if (status.empty()) break;
                found = snd_alsa_parse_status(status.c_str(), static_cast<long>(getpid()),
                                              delay_frames) &&
                        snd_alsa_parse_rate(
                            snd_read_small_file((dir + "/hw_params").c_str()).c_str(), rate);
            }
        }
        closedir(pcms);
        if (found) break;
    }
    closedir(proc);
    return found;
}

void snd_alsa_watch() {
    std::unique_lock<std::mutex> lock(snd_watch.alsa_mutex);
    while (!snd_watch.alsa_stop) {
        int64_t delay = 0, rate = 0;
        if (!snd_callback_overdue() && snd_alsa_read(&delay, &rate) && !snd_callback_overdue())
            snd_latency_take(delay * 1000000 / rate);
        snd_watch.alsa_wake.wait_for(lock, std::chrono::microseconds(snd_latency_wait_us()));
    }
}

#endif

} // namespace

std::string snd_read_small_file(const char* path) {
    std::string text;
    FILE* f = std::fopen(path, "r");
    if (!f) return text;
    char buffer[1024];
    size_t got;
    while (text.size() < 65536 && (got = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        text.append(buffer, got);
    std::fclose(f);
    return text;
}

bool snd_alsa_parse_status(const char* text, long pid, int64_t* delay_frames) {
    long long owner = 0, delay = 0;
    if (!std::strstr(text, "state: RUNNING") || !snd_alsa_field(text, "owner_pid", &owner) ||
        owner != pid || !snd_alsa_field(text, "delay", &delay) || delay < 0)
        return false;
    *delay_frames = delay;
    return true;
}

bool snd_alsa_parse_rate(const char* text, int64_t* rate) {
    long long parsed = 0;
    if (!snd_alsa_field(text, "rate", &parsed) || parsed <= 0) return false;
    *rate = parsed;
    return true;
}

void snd_latency_start(const char* driver, int64_t buffer_ns) {
    snd_latency_reported_us.store(0, std::memory_order_relaxed);
#if !defined(__EMSCRIPTEN__)
    snd_watch.have_figure = false;
    snd_watch.recent_count = 0;
    snd_watch.buffer_ns = buffer_ns;
    if (!driver) return;
    if (std::strcmp(driver, "pulseaudio") == 0 || std::strcmp(driver, "pipewire") == 0) {
        if (!snd_pulse_start())
            std::fprintf(stderr, "sound: cannot ask the sound server for the output's latency\n");
    } else if (std::strcmp(driver, "alsa") == 0) {
        snd_watch.alsa_stop = false;
        snd_watch.alsa_thread = std::thread(snd_alsa_watch);
    }
#else
    (void)driver;
    (void)buffer_ns;
#endif
}

void snd_latency_stop() {
#if !defined(__EMSCRIPTEN__)
    snd_pulse_stop();
    if (snd_watch.alsa_thread.joinable()) {
        {
            std::lock_guard<std::mutex> lock(snd_watch.alsa_mutex);
            snd_watch.alsa_stop = true;
        }
        snd_watch.alsa_wake.notify_all();
        snd_watch.alsa_thread.join();
    }
#endif
    snd_latency_reported_us.store(0, std::memory_order_relaxed);
}

int snd_latency_server_tries() {
#if !defined(__EMSCRIPTEN__)
    return snd_pulse_tries.load(std::memory_order_relaxed);
#else
    return 0;
#endif
}

int64_t snd_latency_reported() {
    return snd_latency_reported_us.load(std::memory_order_relaxed);
}

void snd_report_output_latency(double ms) {
    if (!(ms >= 0.0) || ms > SND_MAX_LATENCY_MS) ms = 0.0; // NaN, negative, absurd: unknown
    snd_latency_reported_us.store(static_cast<int64_t>(ms * 1000.0), std::memory_order_relaxed);
}
