// Scene 6, the particle tunnel finale (from 260000 ms until the show ends).
// Three sets of 5000 glowing sparks stream and swirl deep in the picture, two
// fed from points circling in opposite directions; a wire tunnel turns slowly
// around the line of sight and flashes on every fourth note; from the
// twentieth note on six end pictures pulse in the middle, the last one
// staying; two banners frame the picture.  The number of notes heard sets the
// stage, which changes how fast the flow angles move.
#include "show/scene6_particle_finale.h"

#include <GL/gl.h>

#include <cmath>
#include <cstring>

#include "show/demo_rand.h"
#include "assets/texture_set.h"
#include "gfx/effects.h"
#include "show/demo_state.h"
#include "show/frame.h"
#include "show/scenes.h"

// Sparks: the slow-down every position step divides by, and the circle of
// the ring sets' respawn points.
constexpr double SLOW_DOWN = 2000.0;
constexpr double RING_RADIUS = 15.0;
constexpr float SPARK_COLOUR_BLUE[3] = {0.1f, 0.1f, 0.3f};
constexpr float SPARK_COLOUR_GREEN[3] = {0.05f, 0.3f, 0.1f};

// Tunnel: a tube of radius 1 from 20 units ahead back to the eye.
constexpr float TUNNEL_Z = -20.0f;
constexpr double TUNNEL_RADIUS = 1.0, TUNNEL_LENGTH = 20.0;
constexpr int TUNNEL_SLICES = 32, TUNNEL_STACKS = 32;
constexpr float SPIN_STEP = 0.1f;
constexpr float RING_STEP = 0.1f;
constexpr float PULSE_STEP = 0.05f, PULSE_FLOOR = 0.15f;

// Stages: the note counts that reach them and the flow steps of each.
constexpr int32_t STAGE_2_BEATS = 20, STAGE_4_BEATS = 40;
struct FlowSteps {
    int32_t stage;
    float x, y, z;
};
constexpr FlowSteps STAGE_TABLE[] = {
    {1, 0.01f, 0.05f, 0.12f},
    {2, 0.001f, 0.005f, 0.12f},
    {4, 0.01f, 0.05f, 0.12f},
};

// End pictures: the first frame count of each slot, tested in this order (a
// later match wins), and the count from which the picture stays opaque.
struct EndPictureStart {
    int32_t frames;
    int32_t slot;
};
constexpr EndPictureStart END_PICTURE_SCHEDULE[] = {
    {600, SLOT_END2}, {900, SLOT_END3}, {1200, SLOT_END6}, {1600, SLOT_END4}, {1900, SLOT_END5},
};
constexpr int32_t END_OPAQUE_FRAMES = 2000;
constexpr float END_PICTURE_Z = -20.0f;
constexpr float END_PICTURE_HALF_W = 5.0f, END_PICTURE_HALF_H = 3.0f;
constexpr double END_PULSE_DIVISOR = 5.0;

// Banners: opaque strips above and below the middle.
constexpr float BANNER_Z = -10.0f;
constexpr float TOP_BANNER_Y = 3.2f, BOTTOM_BANNER_Y = -3.6f;
constexpr float BANNER_HALF_W = 5.7f;
constexpr float TOP_BANNER_HALF_H = 1.0f, BOTTOM_BANNER_HALF_H = 0.5f;

FinaleState finale;

// Seeded by finale_sparks_seed at start-up; afterwards only
// run_particle_finale changes them.
FinaleSparks finale_sparks;

namespace {

// Acceleration along z of each spark set: still, falling back, flying on.
constexpr float SPARK_ACC_Z_A = 0.0f;
constexpr float SPARK_ACC_Z_B = -5.0f;
constexpr float SPARK_ACC_Z_C = 5.0f;

// One fresh spark at the origin: four draws, in the order decay, vel_x,
// vel_y, vel_z.
void seed_spark(Spark& spark, float acc_z) {
    spark.alive = true;
    spark.energy = 1.0f;
    spark.decay = static_cast<float>(demo_rand() % 100) / 1000.0f + 0.003f;
    spark.red = spark.green = spark.blue = 0.0f;
    spark.vel_x = static_cast<float>((demo_rand() % 50 - 26) * 10);
    spark.vel_y = static_cast<float>((demo_rand() % 50 - 25) * 10);
    spark.vel_z = static_cast<float>((demo_rand() % 50 - 25) * 10);
    spark.acc_x = 0.0f;
    spark.acc_y = 0.0f;
    spark.acc_z = acc_z;
}

void seed_spark_set(Spark* set, float acc_z) {
    for (int i = 0; i < SPARK_COUNT; ++i)
        seed_spark(set[i], acc_z);
}

} // namespace

void finale_sparks_seed() {
    memset(&finale_sparks, 0, sizeof finale_sparks);
    seed_spark_set(finale_sparks.sparks_a, SPARK_ACC_Z_A);
    seed_spark_set(finale_sparks.sparks_b, SPARK_ACC_Z_B);
    seed_spark_set(finale_sparks.sparks_c, SPARK_ACC_Z_C);
}

// Divisors of the three position steps and the respawn point of one set,
// taken from the angles as they stand before the set is moved.
struct SparkMotion {
    double divisor[3];
    double respawn[3];
    bool respawn_keeps_z; // stage 1 leaves pos_z of the ring sets as it is
    const float* colour;
};

// The sines and cosines are taken in double precision (std::sin of a float
// would round them to float).
static double sin_d(float angle) {
    return std::sin(static_cast<double>(angle));
}
static double cos_d(float angle) {
    return std::cos(static_cast<double>(angle));
}

static SparkMotion motion_a() {
    return {{cos_d(finale.flow_x) * SLOW_DOWN, cos_d(finale.flow_y) * SLOW_DOWN,
             sin_d(finale.flow_z) * SLOW_DOWN},
            {sin_d(finale.flow_x), sin_d(finale.flow_y), cos_d(finale.flow_z)},
            false,
            SPARK_COLOUR_BLUE};
}

static SparkMotion motion_ring(float angle, const float* colour) {
    double d = cos_d(finale.flow_x) * SLOW_DOWN;
    return {{d, d, d},
            {RING_RADIUS * cos_d(angle), RING_RADIUS * sin_d(angle), 0.0},
            demo.end_stage < 2,
            colour};
}

// One position step, formed in double precision and stored as a float.  A
// zero divisor, or a step too large for a float, leaves the coordinate as it
// is for this frame so that positions stay finite.
static void step_coordinate(float& pos, float vel, double divisor) {
    if (divisor == 0.0) return;
    double moved = pos - vel / divisor;
    float stored = static_cast<float>(moved);
    if (std::isfinite(stored)) pos = stored;
}

// A spark whose energy ran out starts again at the set's respawn point with
// four fresh draws, in the order decay, vel_x, vel_y, vel_z.
static void respawn_spark(Spark& s, const SparkMotion& m) {
    s.energy = 1.0f;
    s.decay = static_cast<float>((demo_rand() % 100) / 1000.0 + 0.003);
    s.pos_x = static_cast<float>(m.respawn[0]);
    s.pos_y = static_cast<float>(m.respawn[1]);
    if (!m.respawn_keeps_z) s.pos_z = static_cast<float>(m.respawn[2]);
    s.vel_x = static_cast<float>(demo_rand() % 60 - 32);
    s.vel_y = static_cast<float>(demo_rand() % 60 - 30);
    s.vel_z = static_cast<float>(demo_rand() % 60 - 30);
    s.red = m.colour[0];
    s.green = m.colour[1];
    s.blue = m.colour[2];
}

// One spark set: draw, move, accelerate, age and respawn each spark.
// The squares are gathered as the sparks stand before they move and drawn
// together at the end of the set.  A step nobody sees leaves them out: the
// draw changes nothing a later step reads (the client arrays are put back,
// and the tunnel sets the current colour next).
static void run_spark_set(Spark* sparks, const SparkMotion& m) {
    bool drawn = frame_driver.step_drawn;
    if (drawn) spark_batch_begin();
    for (int i = 0; i < SPARK_COUNT; ++i) {
        Spark& s = sparks[i];
        if (!s.alive) continue;
        if (drawn) spark_batch_add(s);
        step_coordinate(s.pos_x, s.vel_x, m.divisor[0]);
        step_coordinate(s.pos_y, s.vel_y, m.divisor[1]);
        step_coordinate(s.pos_z, s.vel_z, m.divisor[2]);
        s.vel_x += s.acc_x;
        s.vel_y += s.acc_y;
        s.vel_z += s.acc_z;
        s.energy -= s.decay;
        if (s.energy < 0) respawn_spark(s, m);
    }
    if (drawn) spark_batch_draw();
}

// The wire tunnel at the grey level of end_pulse, fogged and added,
// turning with spin_angle.
static void draw_tunnel() {
    glColor3f(demo.end_pulse, demo.end_pulse, demo.end_pulse);
    glLoadIdentity();
    glEnable(GL_FOG);
    glEnable(GL_BLEND);
    glTranslatef(0, 0, TUNNEL_Z);
    glBindTexture(GL_TEXTURE_2D, texture_slots[SLOT_WIRE]);
    glRotatef(demo.spin_angle, 0, 0, 1);
    draw_quadric_cylinder(TUNNEL_RADIUS, TUNNEL_LENGTH, TUNNEL_SLICES, TUNNEL_STACKS);
    demo.spin_angle += SPIN_STEP;
    glDisable(GL_BLEND);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glDisable(GL_FOG);
}

// The ring angles, the tunnel's decay to its floor, the stage from
// the notes heard, and the stage's flow steps.
static void advance_flow() {
    finale.ring_angle_b += RING_STEP;
    finale.ring_angle_c -= RING_STEP;
    demo.end_pulse -= PULSE_STEP;
    if (demo.end_pulse <= PULSE_FLOOR) demo.end_pulse = PULSE_FLOOR;
    if (demo.end_beats >= STAGE_2_BEATS) demo.end_stage = 2;
    if (demo.end_beats >= STAGE_4_BEATS) demo.end_stage = 4;
    for (const FlowSteps& steps : STAGE_TABLE)
        if (steps.stage == demo.end_stage) {
            finale.flow_x += steps.x;
            finale.flow_y += steps.y;
            finale.flow_z += steps.z;
        }
}

// The end picture's opacity.  Nothing shows before stage 2; then it
// pulses with sin(ring_angle_b / 5) until 2000 frames have passed (at exactly
// 2000 the pulse still wins) and is opaque after.
static void set_end_picture_colour() {
    if (demo.end_stage < 2) {
        glColor4f(1, 1, 1, 0);
        return;
    }
    if (finale.end_frames >= END_OPAQUE_FRAMES) glColor4f(1, 1, 1, 1);
    if (finale.end_frames <= END_OPAQUE_FRAMES)
        glColor4f(1, 1, 1, static_cast<float>(std::sin(finale.ring_angle_b / END_PULSE_DIVISOR)));
    finale.end_frames += 1;
}

// The end picture, swaying in depth, added with source alpha.
static void draw_end_picture() {
    glEnable(GL_DEPTH_TEST);
    glLoadIdentity();
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_BLEND);
    glTranslatef(0, 0, static_cast<float>(sin_d(finale.ring_angle_b) + END_PICTURE_Z));
    set_end_picture_colour();
    for (const EndPictureStart& start : END_PICTURE_SCHEDULE)
        if (finale.end_frames >= start.frames) finale.end_picture = start.slot;
    glBindTexture(GL_TEXTURE_2D, texture_slots[finale.end_picture]);
    draw_textured_rect(-END_PICTURE_HALF_W, -END_PICTURE_HALF_H, END_PICTURE_HALF_W,
                       END_PICTURE_HALF_H);
}

// The two banners, opaque, unlit and depth tested.
static void draw_banners() {
    glDisable(GL_BLEND);
    glLoadIdentity();
    glTranslatef(0, TOP_BANNER_Y, BANNER_Z);
    glColor4f(1, 1, 1, 1);
    glBindTexture(GL_TEXTURE_2D, texture_slots[SLOT_INTROUP]);
    draw_textured_rect(-BANNER_HALF_W, -TOP_BANNER_HALF_H, BANNER_HALF_W, TOP_BANNER_HALF_H);
    glLoadIdentity();
    glTranslatef(0, BOTTOM_BANNER_Y, BANNER_Z);
    glBindTexture(GL_TEXTURE_2D, texture_slots[SLOT_INTRODOWN]);
    draw_textured_rect(-BANNER_HALF_W, -BOTTOM_BANNER_HALF_H, BANNER_HALF_W, BOTTOM_BANNER_HALF_H);
}

void run_particle_finale() {
    glDisable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glDisable(GL_DEPTH_TEST);
    demo.bar_mode = 2;
    glEnable(GL_BLEND);
    glLoadIdentity();
    glBindTexture(GL_TEXTURE_2D, texture_slots[SLOT_DOT]);
    run_spark_set(finale_sparks.sparks_a, motion_a());
    run_spark_set(finale_sparks.sparks_b, motion_ring(finale.ring_angle_b, SPARK_COLOUR_BLUE));
    run_spark_set(finale_sparks.sparks_c, motion_ring(finale.ring_angle_c, SPARK_COLOUR_GREEN));
    draw_tunnel();
    advance_flow();
    draw_end_picture();
    draw_banners();
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
}
