// Calls with bad arguments, in the wrong place, or compiled into display
// lists: the error GL raises and the state it leaves, for Mesa's desktop GL
// and for the GL 1.1 subset.  The one table below is built twice: against
// Mesa's fixed-function GL (test_gl11_errors_mesa checks the Mesa column),
// and against the subset on OpenGL ES 2 (test_gl11_errors checks the
// subset's column, which is Mesa's wherever the subset does what Mesa does).
// Each row runs in a fresh context.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <ostream>
#include <string>
#include <vector>

#include "platform/offscreen.h"

namespace {

constexpr int W = 64;
constexpr int H = 48;

using Values = std::vector<int>;

// What a row's calls leave: the error glGetError reports after them, and
// the values they read back.
struct Outcome {
    GLenum error;
    Values values;
};

// A subset outcome of this error means: the same as Mesa's.
constexpr GLenum AS_MESA = 0xffff;

struct Row {
    const char* name;
    Values (*run)();
    Outcome mesa;
    Outcome subset = {AS_MESA, {}};
};

void PrintTo(const Row& row, std::ostream* out) {
    *out << row.name;
}

int get(GLenum name, int index = 0) {
    GLint v[4] = {-7, -7, -7, -7};
    glGetIntegerv(name, v);
    return v[index];
}

int error() {
    return static_cast<int>(glGetError());
}

int modelview_x() {
    GLfloat m[16] = {};
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    return static_cast<int>(m[12]);
}

// Whether the window's centre is bright (red above half).
int bright() {
    GLubyte p[4] = {};
    glReadPixels(W / 2, H / 2, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, p);
    return p[0] > 128;
}

// Clears with the clear colour; whether it is bright.
int cleared_bright() {
    glClear(GL_COLOR_BUFFER_BIT);
    return bright();
}

// Clears to black and draws a white quad over the window at eye distance
// 0.5, facing light 0; whether it came out bright.
int quad_bright() {
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glBegin(GL_QUADS);
    glNormal3f(0, 0, 1);
    glVertex3f(-1, -1, -0.5f);
    glVertex3f(1, -1, -0.5f);
    glVertex3f(1, 1, -0.5f);
    glVertex3f(-1, 1, -0.5f);
    glEnd();
    return bright();
}

// One white point on the centre pixel (where bright() reads).
void centre_point() {
    glColor3f(1, 1, 1);
    glBegin(GL_POINTS);
    glVertex3f((W / 2 + 0.5f) * 2 / W - 1, (H / 2 + 0.5f) * 2 / H - 1, 0);
    glEnd();
}

// Clears to black and draws the centre point with the polygon mode given
// (which leaves points alone); whether it came out bright.
int point_bright(GLenum polygon_mode) {
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glPolygonMode(GL_FRONT_AND_BACK, polygon_mode);
    centre_point();
    return bright();
}

// A new list holding the calls.
template <class Calls> GLuint compiled(Calls calls) {
    GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    calls();
    glEndList();
    return list;
}

// Compiles the calls into a list and reads before and after running it.
template <class Calls, class Read> Values around_call(Calls calls, Read read) {
    GLuint list = compiled(calls);
    int before = read();
    glCallList(list);
    return Values{before, read()};
}

const GLfloat BLACK[4] = {0, 0, 0, 1};
const GLfloat WHITE[4] = {1, 1, 1, 1};
const GLenum BAD_ENUM = 0x1234;
// Past GL_POLYGON and past the primitives later GLs added.
const GLenum BAD_MODE = 0x20;

const Row ROWS[] = {
    // Arguments GL refuses, leaving the state as it was.
    {"PackAlignmentZeroThenRead",
     [] {
         GLubyte p[8] = {};
         glPixelStorei(GL_PACK_ALIGNMENT, 0);
         glReadPixels(0, 0, 2, 1, GL_RGB, GL_UNSIGNED_BYTE, p);
         return Values{get(GL_PACK_ALIGNMENT)};
     },
     {GL_INVALID_VALUE, {4}}},
    {"UnpackAlignmentThree",
     [] {
         glPixelStorei(GL_UNPACK_ALIGNMENT, 3);
         return Values{get(GL_UNPACK_ALIGNMENT)};
     },
     {GL_INVALID_VALUE, {4}}},
    {"BindHighestTextureName",
     [] {
         glBindTexture(GL_TEXTURE_2D, 0xffffffffu);
         return Values{get(GL_TEXTURE_BINDING_2D)};
     },
     {GL_NO_ERROR, {-1}}},
    {"ReadPixelsNegativeWidth",
     [] {
         GLubyte p[4] = {7};
         glReadPixels(0, 0, -1, 1, GL_RGB, GL_UNSIGNED_BYTE, p);
         return Values{p[0]};
     },
     {GL_INVALID_VALUE, {7}}},
    {"ReadPixelsIntoNothing",
     [] {
         glReadPixels(0, 0, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
         return Values{};
     },
     {GL_NO_ERROR, {}}},
    {"ViewportNegativeWidth",
     [] {
         glViewport(1, 2, -3, 4);
         return Values{get(GL_VIEWPORT, 0), get(GL_VIEWPORT, 2)};
     },
     {GL_INVALID_VALUE, {0, W}}},
    {"ViewportBeyondMaximum",
     [] {
         glViewport(0, 0, 100000, 100000);
         return Values{get(GL_VIEWPORT, 2) == get(GL_MAX_VIEWPORT_DIMS, 0)};
     },
     {GL_NO_ERROR, {1}}},
    {"TextureStackDepth",
     [] {
         glMatrixMode(GL_TEXTURE);
         for (int i = 0; i < 10; ++i)
             glPushMatrix();
         return Values{get(GL_MAX_TEXTURE_STACK_DEPTH), get(GL_TEXTURE_STACK_DEPTH)};
     },
     {GL_STACK_OVERFLOW, {10, 10}}},
    {"StackDepthsAndNesting",
     [] {
         return Values{get(GL_MAX_MODELVIEW_STACK_DEPTH),     get(GL_MAX_PROJECTION_STACK_DEPTH),
                       get(GL_MAX_TEXTURE_STACK_DEPTH),       get(GL_MAX_ATTRIB_STACK_DEPTH),
                       get(GL_MAX_CLIENT_ATTRIB_STACK_DEPTH), get(GL_MAX_LIST_NESTING)};
     },
     {GL_NO_ERROR, {32, 32, 10, 16, 16, 64}}},
    {"BeginBadMode",
     [] {
         glBegin(BAD_MODE);
         return Values{};
     },
     {GL_INVALID_ENUM, {}}},
    // GL 1.1's points: one pixel each, in lines mode too, and from a list.
    {"PointsDraw",
     [] {
         return Values{point_bright(GL_FILL), point_bright(GL_LINE)};
     },
     {GL_NO_ERROR, {1, 1}}},
    {"MatrixCallsInBegin",
     [] {
         glBegin(GL_TRIANGLES);
         glMatrixMode(GL_PROJECTION);
         glTranslatef(1, 0, 0);
         glPushMatrix();
         glEnd();
         return Values{get(GL_MATRIX_MODE), modelview_x(), get(GL_MODELVIEW_STACK_DEPTH)};
     },
     {GL_INVALID_OPERATION, {GL_MODELVIEW, 0, 1}}},
    {"StateCallsInBegin",
     [] {
         glBegin(GL_TRIANGLES);
         glViewport(1, 2, 3, 4);
         glListBase(5);
         glEnd();
         return Values{get(GL_VIEWPORT, 0), get(GL_LIST_BASE)};
     },
     {GL_INVALID_OPERATION, {0, 0}}},
    {"NewListZero",
     [] {
         glNewList(0, GL_COMPILE);
         return Values{};
     },
     {GL_INVALID_VALUE, {}}},
    {"HighestListName",
     [] {
         glNewList(0xffffffffu, GL_COMPILE);
         glTranslatef(1, 0, 0);
         glEndList();
         glCallList(0xffffffffu);
         return Values{modelview_x()};
     },
     {GL_NO_ERROR, {1}}},
    {"GenListsNegative",
     [] { return Values{static_cast<int>(glGenLists(-1))}; },
     {GL_INVALID_VALUE, {0}}},
    {"DeleteListsNegative",
     [] {
         glDeleteLists(1, -1);
         return Values{};
     },
     {GL_INVALID_VALUE, {}}},
    {"CallListsNegative",
     [] {
         const GLubyte codes[1] = {1};
         glCallLists(-1, GL_UNSIGNED_BYTE, codes);
         return Values{};
     },
     {GL_INVALID_VALUE, {}}},
    {"CallListsOfNothing",
     [] {
         glCallLists(1, GL_UNSIGNED_BYTE, nullptr);
         return Values{};
     },
     {GL_NO_ERROR, {}}},
    {"ArrayPointerBadSizeAndStride",
     [] {
         const GLfloat v[8] = {};
         glTexCoordPointer(5, GL_FLOAT, 0, v);
         int size = error();
         glVertexPointer(3, GL_FLOAT, -4, v);
         return Values{size, error()};
     },
     {GL_NO_ERROR, {GL_INVALID_VALUE, GL_INVALID_VALUE}}},
    {"DrawElementsNegativeCount",
     [] {
         const GLfloat v[9] = {};
         const GLushort index[3] = {0, 1, 2};
         glEnableClientState(GL_VERTEX_ARRAY);
         glVertexPointer(3, GL_FLOAT, 0, v);
         glDrawElements(GL_TRIANGLES, -1, GL_UNSIGNED_SHORT, index);
         return Values{};
     },
     {GL_INVALID_VALUE, {}}},
    {"FogDensityNegative",
     [] {
         glFogf(GL_FOG_DENSITY, -1);
         return Values{};
     },
     {GL_INVALID_VALUE, {}}},
    {"PolygonModeBadFace",
     [] {
         glPolygonMode(BAD_ENUM, GL_LINE);
         return Values{get(GL_POLYGON_MODE, 0)};
     },
     {GL_INVALID_ENUM, {GL_FILL}}},
    {"HintBadMode",
     [] {
         glHint(GL_FOG_HINT, BAD_ENUM);
         return Values{};
     },
     {GL_INVALID_ENUM, {}}},
    {"ShadeModelBad",
     [] {
         glShadeModel(BAD_ENUM);
         return Values{};
     },
     {GL_INVALID_ENUM, {}}},
    {"LightBeyondTheLast",
     [] {
         glLightfv(GL_LIGHT0 + 8, GL_DIFFUSE, BLACK);
         return Values{};
     },
     {GL_INVALID_ENUM, {}}},

    // State calls compiled into a list take effect when the list runs.
    {"ListClearColor",
     [] { return around_call([] { glClearColor(1, 1, 1, 1); }, cleared_bright); },
     {GL_NO_ERROR, {0, 1}}},
    {"ListClear",
     [] {
         glClear(GL_COLOR_BUFFER_BIT);
         glClearColor(1, 1, 1, 1);
         return around_call([] { glClear(GL_COLOR_BUFFER_BIT); }, bright);
     },
     {GL_NO_ERROR, {0, 1}}},
    {"ListPolygonMode",
     [] {
         return around_call([] { glPolygonMode(GL_FRONT_AND_BACK, GL_LINE); },
                            [] { return get(GL_POLYGON_MODE); });
     },
     {GL_NO_ERROR, {GL_FILL, GL_LINE}}},
    {"ListViewport",
     [] { return around_call([] { glViewport(1, 2, 3, 4); }, [] { return get(GL_VIEWPORT, 2); }); },
     {GL_NO_ERROR, {W, 3}}},
    {"ListScissor",
     [] {
         return around_call([] { glScissor(1, 2, 3, 4); }, [] { return get(GL_SCISSOR_BOX, 2); });
     },
     {GL_NO_ERROR, {W, 3}}},
    {"ListDepthFunc",
     [] { return around_call([] { glDepthFunc(GL_ALWAYS); }, [] { return get(GL_DEPTH_FUNC); }); },
     {GL_NO_ERROR, {GL_LESS, GL_ALWAYS}}},
    {"ListLight",
     [] {
         glEnable(GL_LIGHTING);
         glEnable(GL_LIGHT0);
         return around_call([] { glLightfv(GL_LIGHT0, GL_DIFFUSE, BLACK); }, quad_bright);
     },
     {GL_NO_ERROR, {1, 0}}},
    {"ListFogDensity",
     [] {
         glEnable(GL_FOG);
         return around_call([] { glFogf(GL_FOG_DENSITY, 100); }, quad_bright);
     },
     {GL_NO_ERROR, {1, 0}}},
    {"ListFogColor",
     [] {
         glEnable(GL_FOG);
         glFogf(GL_FOG_DENSITY, 100);
         return around_call([] { glFogfv(GL_FOG_COLOR, WHITE); }, quad_bright);
     },
     {GL_NO_ERROR, {0, 1}}},
    {"ListListBase",
     [] { return around_call([] { glListBase(7); }, [] { return get(GL_LIST_BASE); }); },
     {GL_NO_ERROR, {0, 7}}},
    {"ListPushAttrib",
     [] {
         return around_call([] { glPushAttrib(GL_LIST_BIT); },
                            [] { return get(GL_ATTRIB_STACK_DEPTH); });
     },
     {GL_NO_ERROR, {0, 1}}},
    {"ListCallListsTakesBaseWhenRun",
     [] {
         // Lists first + 1 and first + 2 move by 1 and 2; list first calls
         // code 1, compiled under base first and run under base first + 1.
         GLuint first = glGenLists(3);
         glNewList(first + 1, GL_COMPILE);
         glTranslatef(1, 0, 0);
         glEndList();
         glNewList(first + 2, GL_COMPILE);
         glTranslatef(2, 0, 0);
         glEndList();
         glListBase(first);
         glNewList(first, GL_COMPILE);
         const GLubyte code[1] = {1};
         glCallLists(1, GL_UNSIGNED_BYTE, code);
         glEndList();
         glListBase(first + 1);
         glCallList(first);
         return Values{modelview_x()};
     },
     {GL_NO_ERROR, {2}}},
    {"ListMatrixCallInBegin",
     [] {
         GLuint list = compiled([] {
             glBegin(GL_TRIANGLES);
             glTranslatef(1, 0, 0);
             glEnd();
         });
         int compiling = error();
         glCallList(list);
         return Values{compiling, modelview_x()};
     },
     {GL_INVALID_OPERATION, {GL_NO_ERROR, 0}}},
    {"ListPoints",
     [] {
         glClear(GL_COLOR_BUFFER_BIT);
         return around_call(centre_point, bright);
     },
     {GL_NO_ERROR, {0, 1}}},
    {"ListBeginBadMode",
     [] {
         GLuint list = compiled([] { glBegin(BAD_MODE); });
         int compiling = error();
         glCallList(list);
         return Values{compiling};
     },
     {GL_INVALID_ENUM, {GL_NO_ERROR}}},
    // Mesa ends the list and leaves its primitive open in it; the subset
    // keeps no primitive across lists, so it refuses and goes on compiling.
    {"EndListInBegin",
     [] {
         GLuint list = glGenLists(1);
         glNewList(list, GL_COMPILE);
         glBegin(GL_TRIANGLES);
         glEndList();
         int ended = error();
         glEnd();
         int after_end = error();
         glEndList();
         return Values{ended, after_end, error()};
     },
     {GL_NO_ERROR, {GL_NO_ERROR, GL_INVALID_OPERATION, GL_INVALID_OPERATION}},
     {GL_NO_ERROR, {GL_INVALID_OPERATION, GL_NO_ERROR, GL_NO_ERROR}}},
    // Mesa keeps an image in a list; the subset refuses it there.
    {"ListTexImage",
     [] {
         const GLubyte rgb[4] = {};
         compiled([&rgb] {
             glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb);
         });
         return Values{};
     },
     {GL_NO_ERROR, {}},
     {GL_INVALID_OPERATION, {}}},
};

class Gl11Errors : public ::testing::TestWithParam<Row> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(offscreen_begin(W, H));
        ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
    void TearDown() override { offscreen_end(); }
};

TEST_P(Gl11Errors, AsTheTableSays) {
    const Row& row = GetParam();
#ifdef VM_GL11
    const Outcome& want = row.subset.error == AS_MESA ? row.mesa : row.subset;
#else
    const Outcome& want = row.mesa;
#endif
    Values values = row.run();
    GLenum error = glGetError();
    EXPECT_EQ(error, want.error) << std::hex << "0x" << error << " where 0x" << want.error;
    EXPECT_EQ(values, want.values);
}

INSTANTIATE_TEST_SUITE_P(Calls, Gl11Errors, ::testing::ValuesIn(ROWS),
                         [](const ::testing::TestParamInfo<Row>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
