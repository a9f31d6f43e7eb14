// State of the bit tunnel (scene2_bit_tunnel.cpp), one record visible to the
// tests and the frame harness.  Only run_bit_tunnel changes it; it keeps its
// values between steps.  `bit_tunnel = {}` puts them back.
#pragma once

constexpr int BIT_COLUMN_COUNT = 6;

struct BitTunnelState {
    // Heights (y) of the falling bit tiles, initially 5 to 10: each falls
    // 0.05 per step and restarts at 3.0 once it is at or below -3.0.
    float bit_heights[BIT_COLUMN_COUNT] = {5, 6, 7, 8, 9, 10};
    // Half width and half height of the spinning star; from 100 s they grow
    // by 0.8 and 0.5 per step without limit.
    float star_half_width = 2.5f;
    float star_half_height = 2.5f;
};

extern BitTunnelState bit_tunnel;
