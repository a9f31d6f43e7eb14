#include "gl11/gl11_es2.h"

#include <cstdio>

// Filled by es2_load for the current context.
Es2Api es;

namespace {

// Where each entry point goes and its ES 2 name.
struct EntryPoint {
    void** slot;
    const char* name;
};

template <typename F> void** slot_of(F* member) {
    return reinterpret_cast<void**>(member);
}

} // namespace

bool es2_load(void* (*get_proc)(const char* name)) {
    es = Es2Api{};
    const EntryPoint ENTRY_POINTS[] = {
        {slot_of(&es.attach_shader), "glAttachShader"},
        {slot_of(&es.bind_attrib_location), "glBindAttribLocation"},
        {slot_of(&es.bind_buffer), "glBindBuffer"},
        {slot_of(&es.bind_texture), "glBindTexture"},
        {slot_of(&es.blend_func), "glBlendFunc"},
        {slot_of(&es.buffer_data), "glBufferData"},
        {slot_of(&es.clear), "glClear"},
        {slot_of(&es.clear_color), "glClearColor"},
        {slot_of(&es.clear_depthf), "glClearDepthf"},
        {slot_of(&es.compile_shader), "glCompileShader"},
        {slot_of(&es.create_program), "glCreateProgram"},
        {slot_of(&es.create_shader), "glCreateShader"},
        {slot_of(&es.delete_buffers), "glDeleteBuffers"},
        {slot_of(&es.delete_program), "glDeleteProgram"},
        {slot_of(&es.delete_shader), "glDeleteShader"},
        {slot_of(&es.delete_textures), "glDeleteTextures"},
        {slot_of(&es.depth_func), "glDepthFunc"},
        {slot_of(&es.disable), "glDisable"},
        {slot_of(&es.disable_vertex_attrib_array), "glDisableVertexAttribArray"},
        {slot_of(&es.draw_arrays), "glDrawArrays"},
        {slot_of(&es.draw_elements), "glDrawElements"},
        {slot_of(&es.enable), "glEnable"},
        {slot_of(&es.enable_vertex_attrib_array), "glEnableVertexAttribArray"},
        {slot_of(&es.finish), "glFinish"},
        {slot_of(&es.flush), "glFlush"},
        {slot_of(&es.gen_buffers), "glGenBuffers"},
        {slot_of(&es.gen_textures), "glGenTextures"},
        {slot_of(&es.get_error), "glGetError"},
        {slot_of(&es.get_integerv), "glGetIntegerv"},
        {slot_of(&es.get_programiv), "glGetProgramiv"},
        {slot_of(&es.get_program_info_log), "glGetProgramInfoLog"},
        {slot_of(&es.get_shaderiv), "glGetShaderiv"},
        {slot_of(&es.get_shader_info_log), "glGetShaderInfoLog"},
        {slot_of(&es.get_uniform_location), "glGetUniformLocation"},
        {slot_of(&es.link_program), "glLinkProgram"},
        {slot_of(&es.pixel_storei), "glPixelStorei"},
        {slot_of(&es.read_pixels), "glReadPixels"},
        {slot_of(&es.scissor), "glScissor"},
        {slot_of(&es.shader_source), "glShaderSource"},
        {slot_of(&es.tex_image2d), "glTexImage2D"},
        {slot_of(&es.tex_parameteri), "glTexParameteri"},
        {slot_of(&es.uniform1i), "glUniform1i"},
        {slot_of(&es.uniform1f), "glUniform1f"},
        {slot_of(&es.uniform4fv), "glUniform4fv"},
        {slot_of(&es.uniform_matrix3fv), "glUniformMatrix3fv"},
        {slot_of(&es.uniform_matrix4fv), "glUniformMatrix4fv"},
        {slot_of(&es.use_program), "glUseProgram"},
        {slot_of(&es.vertex_attrib4fv), "glVertexAttrib4fv"},
        {slot_of(&es.vertex_attrib_pointer), "glVertexAttribPointer"},
        {slot_of(&es.viewport), "glViewport"},
    };
    for (const EntryPoint& entry : ENTRY_POINTS) {
        *entry.slot = get_proc(entry.name);
        if (!*entry.slot) {
            fprintf(stderr, "gl11: the context has no %s\n", entry.name);
            return false;
        }
    }
    return true;
}
