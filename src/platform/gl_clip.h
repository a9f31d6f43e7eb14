// The current GL view as one matrix, for code that decides whether a shape
// can reach the picture at all.
#pragma once

// clip = projection * modelview of the current context, both read from GL
// and column-major as GL keeps them.
void gl_clip_matrix(double clip[16]);
