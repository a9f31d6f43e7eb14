// State of the particle tunnel finale (scene6_particle_finale.cpp), one
// record visible to the tests and the frame harness, and the finale's spark
// sets.  Only run_particle_finale changes them; none is reset during a
// show.  `finale = {}` puts the record back.
#pragma once

#include <cstdint>

#include "assets/texture_set.h"
#include "gfx/effects.h"

struct FinaleState {
    // Flow angles in radians, advanced every step by the stage table; they
    // steer the spark motion and sparks_a's respawn point.
    float flow_x = 0.0f, flow_y = 0.0f, flow_z = 0.0f;
    // Respawn angles of sparks_b (+0.1 per step) and sparks_c (-0.1 per
    // step) on their circles of radius 15; ring_angle_b also sways the end
    // picture.
    float ring_angle_b = 0.0f, ring_angle_c = 0.0f;
    // Steps of stages 2 and 4 drawn so far; times the end pictures.
    int32_t end_frames = 0;
    // Texture slot of the end picture, SLOT_END1 to SLOT_END5.
    int32_t end_picture = SLOT_END1;
};

extern FinaleState finale;

// The finale's three spark sets, seeded at start-up (finale_sparks_seed)
// from the first 60000 draws of demo_rand and afterwards moved only by
// run_particle_finale.  Not part of `finale = {}`: only a new seeding puts
// them back.
struct FinaleSparks {
    Spark sparks_a[SPARK_COUNT];
    Spark sparks_b[SPARK_COUNT];
    Spark sparks_c[SPARK_COUNT];
};

extern FinaleSparks finale_sparks;

// Zeroes and reseeds the three sets (draws 60000 values of demo_rand).
void finale_sparks_seed();
