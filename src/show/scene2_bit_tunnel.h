// Private state of the bit tunnel (scene2_bit_tunnel.cpp), visible to the
// tests and the frame harness.  Only run_bit_tunnel changes these values (and
// bit_tunnel_reset puts them back); they keep their values between frames.
#pragma once

constexpr int BIT_COLUMN_COUNT = 6;

// Heights (y) of the falling bit tiles, initially 5 to 10: each falls 0.05
// per frame and restarts at 3.0 once it is at or below -3.0.
extern float bit_heights[BIT_COLUMN_COUNT];

// Half width and half height of the spinning star (2.5 each); from 100 s
// they grow by 0.8 and 0.5 per frame without limit.
extern float star_half_width;
extern float star_half_height;
