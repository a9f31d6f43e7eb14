#include "demo/show_check.h"

#include <cmath>
#include <cstring>
#include <initializer_list>

#include "app/render_state.h"
#include "audio/beat.h"
#include "demo/demo_state.h"
#include "demo/frame.h"
#include "demo/scene1_opening.h"
#include "demo/scenes.h"
#include "demo/scene2_bit_tunnel.h"
#include "demo/scene3_sphere_greetings.h"
#include "demo/scene4_flying_words.h"
#include "demo/scene5_landscape.h"
#include "demo/scene6_particle_finale.h"

static bool all_finite(std::initializer_list<float> values) {
    for (float v : values)
        if (!std::isfinite(v)) return false;
    return true;
}

static bool sparks_finite(const Spark* set) {
    for (int i = 0; i < SPARK_COUNT; ++i) {
        const Spark& s = set[i];
        if (!all_finite({s.energy, s.decay, s.pos_x, s.pos_y, s.pos_z, s.vel_x, s.vel_y, s.vel_z}))
            return false;
    }
    return true;
}

bool show_state_finite() {
    bool ok = all_finite(
        {spin_angle, drift,        glyph_x,     glyph_y,         glyph_z,          effect_z,
         beat_glow,  beat_spin,    beat_scale,  beat_lift,       end_pulse,        intro_fade,
         logo_alpha, wobble_phase, scroller_x,  star_half_width, star_half_height, sphere_zoom,
         banner_x,   message_x,    water_z,     ufo_x,           flow_x,           flow_y,
         flow_z,     ring_angle_b, ring_angle_c});
    for (float h : bit_heights)
        ok = ok && std::isfinite(h);
    for (float h : stripe_heights)
        ok = ok && std::isfinite(h);
    return ok && sparks_finite(sparks_a) && sparks_finite(sparks_b) && sparks_finite(sparks_c);
}

namespace {

template <typename T> void put(std::vector<uint8_t>& out, const T& value) {
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&value);
    out.insert(out.end(), bytes, bytes + sizeof value);
}

void put_floats(std::vector<uint8_t>& out, std::initializer_list<float> values) {
    for (float v : values)
        put(out, v);
}

void put_ints(std::vector<uint8_t>& out, std::initializer_list<int32_t> values) {
    for (int32_t v : values)
        put(out, v);
}

} // namespace

std::vector<uint8_t> show_state_bytes() {
    std::vector<uint8_t> out;
    put(out, frame_driver.next_step);
    put(out, song_time_ms);
    put(out, demo_rand_state());
    put_ints(out, {current_scene, bar_mode, picture_index, credit_index, greet_index, greet_beats,
                   scroller_index, end_beats, end_stage, chain_layout, intro_phase, word_index,
                   end_frames, end_picture});
    put_floats(
        out, {spin_angle, drift,        glyph_x,     glyph_y,         glyph_z,          effect_z,
              beat_glow,  beat_spin,    beat_scale,  beat_lift,       end_pulse,        intro_fade,
              logo_alpha, wobble_phase, scroller_x,  star_half_width, star_half_height, sphere_zoom,
              banner_x,   message_x,    water_z,     ufo_x,           flow_x,           flow_y,
              flow_z,     ring_angle_b, ring_angle_c});
    put(out, bit_heights);
    put(out, stripe_heights);
    put(out, sparks_a);
    put(out, sparks_b);
    put(out, sparks_c);
    return out;
}

void show_state_reset() {
    demo_state_reset();
    beat_reset();
    demo_rand_reset();
    opening_scene_reset();
    bit_tunnel_reset();
    sphere_greetings_reset();
    flying_words_reset();
    landscape_reset();
    particle_finale_reset();
}
