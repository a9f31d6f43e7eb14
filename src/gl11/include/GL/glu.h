// The show's <GL/glu.h> when it draws through the GL 1.1 subset: the
// perspective and the quadrics are the subset's own.  The tessellator is
// declared for the font recorder, which runs the outline layer natively
// with GLU's (it only computes, it draws nothing).
#pragma once

#include <GL/gl.h>

#define GLU_SMOOTH 100000
#define GLU_FLAT 100001
#define GLU_NONE 100002

#define gluPerspective gl11_perspective
#define gluNewQuadric gl11_new_quadric
#define gluDeleteQuadric gl11_delete_quadric
#define gluQuadricNormals gl11_quadric_normals
#define gluQuadricTexture gl11_quadric_texture
#define gluSphere gl11_sphere
#define gluCylinder gl11_cylinder

#define GLU_TESS_VERTEX_DATA 100107
#define GLU_TESS_ERROR_DATA 100109
#define GLU_TESS_EDGE_FLAG_DATA 100110
#define GLU_TESS_COMBINE_DATA 100111
#define GLU_TESS_WINDING_NONZERO 100131
#define GLU_TESS_WINDING_RULE 100140

extern "C" {
typedef struct GLUtesselator GLUtesselator;
typedef void(GLAPIENTRY* _GLUfuncptr)(void);
GLUtesselator* gluNewTess(void);
void gluDeleteTess(GLUtesselator* tess);
void gluTessProperty(GLUtesselator* tess, GLenum which, GLdouble data);
void gluTessNormal(GLUtesselator* tess, GLdouble x, GLdouble y, GLdouble z);
void gluTessCallback(GLUtesselator* tess, GLenum which, _GLUfuncptr callback);
void gluTessBeginPolygon(GLUtesselator* tess, GLvoid* data);
void gluTessBeginContour(GLUtesselator* tess);
void gluTessVertex(GLUtesselator* tess, GLdouble* location, GLvoid* data);
void gluTessEndContour(GLUtesselator* tess);
void gluTessEndPolygon(GLUtesselator* tess);
}
