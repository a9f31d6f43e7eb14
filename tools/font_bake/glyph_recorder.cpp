#include "glyph_recorder.h"

#include <cstring>

#include "platform/outline_baked.h"

// Filled by the recorder functions; read by the writer.
std::vector<std::vector<uint8_t>> recorded_lists;

namespace {

// The list being recorded (index into recorded_lists); -1 outside one.
struct RecorderState {
    long current = -1;
};
RecorderState recorder;

void put(const void* data, size_t size) {
    if (recorder.current < 0) return;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    std::vector<uint8_t>& list = recorded_lists[static_cast<size_t>(recorder.current)];
    list.insert(list.end(), bytes, bytes + size);
}

// A tag with three floats, each converted as GL converts its arguments.
void put_call(OutlineBakedTag tag, float x, float y, float z) {
    const float v[3] = {x, y, z};
    uint8_t t = tag;
    put(&t, 1);
    put(v, sizeof v);
}

} // namespace

void recorder_new_list(GLuint list, GLenum) {
    if (list == 0) return;
    if (recorded_lists.size() < list) recorded_lists.resize(list);
    recorder.current = static_cast<long>(list) - 1;
    recorded_lists[static_cast<size_t>(recorder.current)].clear();
}

void recorder_end_list() {
    uint8_t t = BAKED_LIST_END;
    put(&t, 1);
    recorder.current = -1;
}

void recorder_begin(GLenum mode) {
    uint8_t t = BAKED_BEGIN;
    uint32_t m = mode;
    put(&t, 1);
    put(&m, sizeof m);
}

void recorder_end() {
    uint8_t t = BAKED_END;
    put(&t, 1);
}

void recorder_normal3f(GLfloat x, GLfloat y, GLfloat z) {
    put_call(BAKED_NORMAL, x, y, z);
}

void recorder_normal3d(GLdouble x, GLdouble y, GLdouble z) {
    put_call(BAKED_NORMAL, static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
}

void recorder_vertex3d(GLdouble x, GLdouble y, GLdouble z) {
    put_call(BAKED_VERTEX, static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
}

void recorder_translatef(GLfloat x, GLfloat y, GLfloat z) {
    put_call(BAKED_TRANSLATE, x, y, z);
}
