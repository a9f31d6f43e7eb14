#include "platform/gl_clip.h"

#include <GL/gl.h>

void gl_clip_matrix(double clip[16]) {
    float modelview[16], projection[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    for (int col = 0; col < 4; ++col)
        for (int row = 0; row < 4; ++row) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k)
                sum += static_cast<double>(projection[k * 4 + row]) * modelview[col * 4 + k];
            clip[col * 4 + row] = sum;
        }
}
