#include "platform/media_bus.h"

#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstring>
#include <vector>

namespace {

constexpr const char* OBJECT_PATH = "/org/mpris/MediaPlayer2";
constexpr const char* ROOT_INTERFACE = "org.mpris.MediaPlayer2";
constexpr const char* PLAYER_INTERFACE = "org.mpris.MediaPlayer2.Player";
constexpr const char* NAME_PREFIX = "org.mpris.MediaPlayer2.";
// Messages one mbus_serve takes at most.
constexpr int MAX_MESSAGES_PER_SERVE = 32;
// Requests kept between two serves at most; more are dropped.
constexpr size_t MAX_QUEUED_REQUESTS = 64;

struct MbusState {
    sd_bus* bus = nullptr;
    sd_bus_slot* root_slot = nullptr;
    sd_bus_slot* player_slot = nullptr;
    MbusPlayer player;
    MbusPlayback playback = MBUS_STOPPED;
    int64_t position_us = 0;
    std::string name;            // owned, once granted
    std::string asking;          // the name asked for, until the bus answers
    bool asked_instance = false; // the first name was taken: asked for <name>.instance<pid>
    std::vector<MbusRequest> requests;
};
MbusState mbus;

void queue(MbusRequestKind kind, int64_t us) {
    if (mbus.requests.size() < MAX_QUEUED_REQUESTS) mbus.requests.push_back({kind, us});
}

const char* playback_name(MbusPlayback playback) {
    return playback == MBUS_PLAYING ? "Playing" : playback == MBUS_PAUSED ? "Paused" : "Stopped";
}

// One entry of a{sv}: the key and a value of one basic type.
int append_entry(sd_bus_message* reply, const char* key, char type, const void* value) {
    const char signature[2] = {type, '\0'};
    int r = sd_bus_message_open_container(reply, 'e', "sv");
    if (r >= 0) r = sd_bus_message_append_basic(reply, 's', key);
    if (r >= 0) r = sd_bus_message_open_container(reply, 'v', signature);
    if (r >= 0) r = sd_bus_message_append_basic(reply, type, value);
    if (r >= 0) r = sd_bus_message_close_container(reply);
    if (r >= 0) r = sd_bus_message_close_container(reply);
    return r;
}

int append_metadata(sd_bus_message* reply) {
    const MbusPlayer& p = mbus.player;
    int r = sd_bus_message_open_container(reply, 'a', "{sv}");
    if (r >= 0) r = append_entry(reply, "mpris:trackid", 'o', p.track_id.c_str());
    if (r >= 0) r = append_entry(reply, "mpris:length", 'x', &p.length_us);
    if (r >= 0) r = append_entry(reply, "xesam:title", 's', p.title.c_str());
    if (r >= 0 && !p.art_url.empty())
        r = append_entry(reply, "mpris:artUrl", 's', p.art_url.c_str());
    if (r >= 0) {
        // xesam:artist is a list of names.
        r = sd_bus_message_open_container(reply, 'e', "sv");
        if (r >= 0) r = sd_bus_message_append_basic(reply, 's', "xesam:artist");
        if (r >= 0) r = sd_bus_message_open_container(reply, 'v', "as");
        if (r >= 0) r = sd_bus_message_append(reply, "as", 1, p.artist.c_str());
        if (r >= 0) r = sd_bus_message_close_container(reply);
        if (r >= 0) r = sd_bus_message_close_container(reply);
    }
    if (r >= 0) r = sd_bus_message_close_container(reply);
    return r;
}

int append_bool(sd_bus_message* reply, bool value) {
    int b = value ? 1 : 0;
    return sd_bus_message_append_basic(reply, 'b', &b);
}

int append_double(sd_bus_message* reply, double value) {
    return sd_bus_message_append_basic(reply, 'd', &value);
}

// Every property of both interfaces, by name.
int get_property(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply,
                 void*, sd_bus_error*) {
    const MbusPlayer& p = mbus.player;
    auto is = [property](const char* name) { return std::strcmp(property, name) == 0; };
    if (is("Identity")) return sd_bus_message_append_basic(reply, 's', p.identity.c_str());
    if (is("DesktopEntry")) return sd_bus_message_append_basic(reply, 's', p.desktop_entry.c_str());
    if (is("SupportedUriSchemes") || is("SupportedMimeTypes"))
        return sd_bus_message_append(reply, "as", 0);
    if (is("PlaybackStatus"))
        return sd_bus_message_append_basic(reply, 's', playback_name(mbus.playback));
    if (is("Metadata")) return append_metadata(reply);
    if (is("Position")) return sd_bus_message_append_basic(reply, 'x', &mbus.position_us);
    if (is("Rate") || is("MinimumRate") || is("MaximumRate") || is("Volume"))
        return append_double(reply, 1.0);
    // CanQuit and the player's Can... are true; CanRaise, HasTrackList false.
    return append_bool(reply, !(is("CanRaise") || is("HasTrackList")));
}

int reply_empty(sd_bus_message* message) {
    return sd_bus_reply_method_return(message, nullptr);
}

int method_simple(sd_bus_message* message, void*, sd_bus_error*) {
    const char* member = sd_bus_message_get_member(message);
    struct Named {
        const char* member;
        MbusRequestKind kind;
    } const names[] = {{"PlayPause", MBUS_PLAY_PAUSE},
                       {"Play", MBUS_PLAY},
                       {"Pause", MBUS_PAUSE},
                       {"Stop", MBUS_STOP},
                       {"Quit", MBUS_STOP},
                       {"Next", MBUS_NEXT},
                       {"Previous", MBUS_PREVIOUS}};
    for (const Named& n : names)
        if (member && std::strcmp(member, n.member) == 0) queue(n.kind, 0);
    return reply_empty(message);
}

int method_seek(sd_bus_message* message, void*, sd_bus_error*) {
    int64_t offset = 0;
    int r = sd_bus_message_read_basic(message, 'x', &offset);
    if (r < 0) return r;
    queue(MBUS_SEEK, offset);
    return reply_empty(message);
}

// A position for another track, or outside this one, is ignored, as the
// interface asks.
int method_set_position(sd_bus_message* message, void*, sd_bus_error*) {
    const char* track = nullptr;
    int64_t position = 0;
    int r = sd_bus_message_read(message, "ox", &track, &position);
    if (r < 0) return r;
    if (track && mbus.player.track_id == track && position >= 0 &&
        position <= mbus.player.length_us)
        queue(MBUS_SET_POSITION, position);
    return reply_empty(message);
}

int method_open_uri(sd_bus_message*, void*, sd_bus_error* error) {
    return sd_bus_error_set(error, SD_BUS_ERROR_NOT_SUPPORTED, "the player plays only its show");
}

int method_nothing(sd_bus_message* message, void*, sd_bus_error*) {
    return reply_empty(message);
}

constexpr uint64_t CONST = SD_BUS_VTABLE_PROPERTY_CONST;
constexpr uint64_t CHANGES = SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE;
// Read when wanted, never announced (the interface says so of Position).
constexpr uint64_t UNANNOUNCED = 0;

const sd_bus_vtable ROOT_VTABLE[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Raise", "", "", method_nothing, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Quit", "", "", method_simple, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_PROPERTY("CanQuit", "b", get_property, 0, CONST),
    SD_BUS_PROPERTY("CanRaise", "b", get_property, 0, CONST),
    SD_BUS_PROPERTY("HasTrackList", "b", get_property, 0, CONST),
    SD_BUS_PROPERTY("Identity", "s", get_property, 0, CONST),
    SD_BUS_PROPERTY("DesktopEntry", "s", get_property, 0, CONST),
    SD_BUS_PROPERTY("SupportedUriSchemes", "as", get_property, 0, CONST),
    SD_BUS_PROPERTY("SupportedMimeTypes", "as", get_property, 0, CONST),
    SD_BUS_VTABLE_END,
};

const sd_bus_vtable PLAYER_VTABLE[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Next", "", "", method_simple, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Previous", "", "", method_simple, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Pause", "", "", method_simple, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("PlayPause", "", "", method_simple, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Stop", "", "", method_simple, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Play", "", "", method_simple, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Seek", "x", "", method_seek, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("SetPosition", "ox", "", method_set_position, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("OpenUri", "s", "", method_open_uri, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_SIGNAL("Seeked", "x", 0),
    SD_BUS_PROPERTY("PlaybackStatus", "s", get_property, 0, CHANGES),
    SD_BUS_PROPERTY("Rate", "d", get_property, 0, CONST),
    SD_BUS_PROPERTY("Metadata", "a{sv}", get_property, 0, CHANGES),
    SD_BUS_PROPERTY("Volume", "d", get_property, 0, CONST),
    SD_BUS_PROPERTY("Position", "x", get_property, 0, UNANNOUNCED),
    SD_BUS_PROPERTY("MinimumRate", "d", get_property, 0, CONST),
    SD_BUS_PROPERTY("MaximumRate", "d", get_property, 0, CONST),
    SD_BUS_PROPERTY("CanGoNext", "b", get_property, 0, CONST),
    SD_BUS_PROPERTY("CanGoPrevious", "b", get_property, 0, CONST),
    SD_BUS_PROPERTY("CanPlay", "b", get_property, 0, CONST),
    SD_BUS_PROPERTY("CanPause", "b", get_property, 0, CONST),
    SD_BUS_PROPERTY("CanSeek", "b", get_property, 0, CONST),
    SD_BUS_PROPERTY("CanControl", "b", get_property, 0, CONST),
    SD_BUS_VTABLE_END,
};

void request_name(const std::string& name);

// The bus's answer to a name request: 1 is the name, 4 the name already
// held.  A name held by another copy of the player: that copy keeps it, and
// this one asks for its own instance name, as the interface suggests.
int name_answer(sd_bus_message* reply, void*, sd_bus_error*) {
    std::string name = mbus.asking;
    uint32_t code = 0;
    bool granted = !sd_bus_message_is_method_error(reply, nullptr) &&
                   sd_bus_message_read_basic(reply, 'u', &code) >= 0 && (code == 1 || code == 4);
    if (granted)
        mbus.name = name;
    else if (!mbus.asked_instance && mbus.bus) {
        mbus.asked_instance = true;
        request_name(name + ".instance" + std::to_string(static_cast<long>(getpid())));
    }
    return 0;
}

void request_name(const std::string& name) {
    mbus.asking = name;
    sd_bus_request_name_async(mbus.bus, nullptr, name.c_str(), 0, name_answer, nullptr);
}

} // namespace

bool mbus_open(const MbusPlayer& player) {
    mbus_close();
    // Without a session bus the show plays as it would without this.
    if (sd_bus_open_user(&mbus.bus) < 0) {
        mbus = MbusState{};
        return false;
    }
    mbus.player = player;
    bool ok = sd_bus_add_object_vtable(mbus.bus, &mbus.root_slot, OBJECT_PATH, ROOT_INTERFACE,
                                       ROOT_VTABLE, nullptr) >= 0 &&
              sd_bus_add_object_vtable(mbus.bus, &mbus.player_slot, OBJECT_PATH, PLAYER_INTERFACE,
                                       PLAYER_VTABLE, nullptr) >= 0;
    if (!ok) {
        mbus_close();
        return false;
    }
    request_name(NAME_PREFIX + player.name);
    return true;
}

bool mbus_is_open() {
    return mbus.bus != nullptr;
}

std::string mbus_name() {
    return mbus.name;
}

void mbus_publish(MbusPlayback playback, int64_t position_us) {
    mbus.position_us = position_us;
    if (playback == mbus.playback) return;
    mbus.playback = playback;
    if (mbus.bus)
        sd_bus_emit_properties_changed(mbus.bus, OBJECT_PATH, PLAYER_INTERFACE, "PlaybackStatus",
                                       nullptr);
}

void mbus_seeked(int64_t position_us) {
    mbus.position_us = position_us;
    if (mbus.bus)
        sd_bus_emit_signal(mbus.bus, OBJECT_PATH, PLAYER_INTERFACE, "Seeked", "x", position_us);
}

int mbus_serve(MbusRequest* requests, int max) {
    if (!mbus.bus) return 0;
    for (int i = 0; i < MAX_MESSAGES_PER_SERVE; ++i) {
        int r = sd_bus_process(mbus.bus, nullptr);
        if (r == 0) break;
        if (r < 0) {
            // The bus went away: the show plays on without it.
            std::vector<MbusRequest> kept = mbus.requests;
            mbus_close();
            mbus.requests = kept;
            break;
        }
    }
    int n = 0;
    for (const MbusRequest& request : mbus.requests)
        if (n < max) requests[n++] = request;
    mbus.requests.clear();
    return n;
}

void mbus_close() {
    sd_bus_slot_unref(mbus.root_slot);
    sd_bus_slot_unref(mbus.player_slot);
    // Leaves without waiting for the bus to read what is still queued (a
    // bus that hangs must not hold the show's end); the bus drops the name
    // with the connection.
    if (mbus.bus) sd_bus_close_unref(mbus.bus);
    mbus = MbusState{};
}
