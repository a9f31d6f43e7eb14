// The OpenGL ES 2 entry points the subset draws with, loaded at run time
// (so that the desktop's GL 1.1 names stay free for the show), and the ES 2
// values it passes.
#pragma once

#include "gl11/gl11_api.h"

typedef char GLchar;
typedef std::ptrdiff_t GLsizeiptr;
typedef std::ptrdiff_t GLintptr;

constexpr GLenum ES_ARRAY_BUFFER = 0x8892;
constexpr GLenum ES_ELEMENT_ARRAY_BUFFER = 0x8893;
constexpr GLenum ES_STREAM_DRAW = 0x88E0;
constexpr GLenum ES_STATIC_DRAW = 0x88E4;
constexpr GLenum ES_FRAGMENT_SHADER = 0x8B30;
constexpr GLenum ES_VERTEX_SHADER = 0x8B31;
constexpr GLenum ES_COMPILE_STATUS = 0x8B81;
constexpr GLenum ES_LINK_STATUS = 0x8B82;
constexpr GLenum ES_TEXTURE_WRAP_S = 0x2802;
constexpr GLenum ES_TEXTURE_WRAP_T = 0x2803;
constexpr GLenum ES_REPEAT = 0x2901;
constexpr GLenum ES_NEAREST_MIPMAP_LINEAR = 0x2702;

// One member per entry point, named after it without the gl prefix.
struct Es2Api {
    void (*attach_shader)(GLuint program, GLuint shader);
    void (*bind_attrib_location)(GLuint program, GLuint index, const GLchar* name);
    void (*bind_buffer)(GLenum target, GLuint buffer);
    void (*bind_texture)(GLenum target, GLuint texture);
    void (*blend_func)(GLenum src, GLenum dst);
    void (*buffer_data)(GLenum target, GLsizeiptr size, const void* data, GLenum usage);
    void (*clear)(GLbitfield mask);
    void (*clear_color)(GLfloat r, GLfloat g, GLfloat b, GLfloat a);
    void (*clear_depthf)(GLfloat depth);
    void (*compile_shader)(GLuint shader);
    GLuint (*create_program)();
    GLuint (*create_shader)(GLenum type);
    void (*delete_buffers)(GLsizei n, const GLuint* buffers);
    void (*delete_program)(GLuint program);
    void (*delete_shader)(GLuint shader);
    void (*delete_textures)(GLsizei n, const GLuint* textures);
    void (*depth_func)(GLenum func);
    void (*disable)(GLenum cap);
    void (*disable_vertex_attrib_array)(GLuint index);
    void (*draw_arrays)(GLenum mode, GLint first, GLsizei count);
    void (*draw_elements)(GLenum mode, GLsizei count, GLenum type, const void* indices);
    void (*enable)(GLenum cap);
    void (*enable_vertex_attrib_array)(GLuint index);
    void (*finish)();
    void (*flush)();
    void (*gen_buffers)(GLsizei n, GLuint* buffers);
    void (*gen_textures)(GLsizei n, GLuint* textures);
    GLenum (*get_error)();
    void (*get_integerv)(GLenum name, GLint* values);
    void (*get_programiv)(GLuint program, GLenum name, GLint* value);
    void (*get_program_info_log)(GLuint program, GLsizei size, GLsizei* length, GLchar* log);
    void (*get_shaderiv)(GLuint shader, GLenum name, GLint* value);
    void (*get_shader_info_log)(GLuint shader, GLsizei size, GLsizei* length, GLchar* log);
    GLint (*get_uniform_location)(GLuint program, const GLchar* name);
    void (*link_program)(GLuint program);
    void (*pixel_storei)(GLenum name, GLint value);
    void (*read_pixels)(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type,
                        void* pixels);
    void (*scissor)(GLint x, GLint y, GLsizei width, GLsizei height);
    void (*shader_source)(GLuint shader, GLsizei count, const GLchar* const* source,
                          const GLint* length);
    void (*tex_image2d)(GLenum target, GLint level, GLint internal_format, GLsizei width,
                        GLsizei height, GLint border, GLenum format, GLenum type,
                        const void* pixels);
    void (*tex_parameteri)(GLenum target, GLenum name, GLint value);
    void (*uniform1i)(GLint location, GLint value);
    void (*uniform1f)(GLint location, GLfloat value);
    void (*uniform4fv)(GLint location, GLsizei count, const GLfloat* value);
    void (*uniform_matrix3fv)(GLint location, GLsizei count, GLboolean transpose,
                              const GLfloat* value);
    void (*uniform_matrix4fv)(GLint location, GLsizei count, GLboolean transpose,
                              const GLfloat* value);
    void (*use_program)(GLuint program);
    void (*vertex_attrib4fv)(GLuint index, const GLfloat* value);
    void (*vertex_attrib_pointer)(GLuint index, GLint size, GLenum type, GLboolean normalized,
                                  GLsizei stride, const void* pointer);
    void (*viewport)(GLint x, GLint y, GLsizei width, GLsizei height);
};

// Loaded by gl11_context_begin.
extern Es2Api es;

// Loads every entry point; false (naming the first missing one on stderr)
// when one is missing.
bool es2_load(void* (*get_proc)(const char* name));
