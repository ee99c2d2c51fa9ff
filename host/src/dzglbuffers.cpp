#include "dzglbuffers.h"
#include <QOpenGLContext>
#include <algorithm>

namespace {

template <class Fn>
Fn lookUp(QOpenGLContext *ctx, const char *arbName, const char *coreName)
{
    QFunctionPointer p = ctx->getProcAddress(arbName);
    if (!p)
        p = ctx->getProcAddress(coreName);
    return reinterpret_cast<Fn>(p);
}

// Resolves all five entry points from the current context and stores them in the exported
// pointers. False (and the stubs stay) without a current context or when one is missing.
bool resolveFromCurrentContext()
{
    QOpenGLContext *ctx = QOpenGLContext::currentContext();
    if (!ctx)
        return false;
    auto gen = lookUp<PFNGLGENBUFFERSARBPROC>(ctx, "glGenBuffersARB", "glGenBuffers");
    auto bind = lookUp<PFNGLBINDBUFFERARBPROC>(ctx, "glBindBufferARB", "glBindBuffer");
    auto data = lookUp<PFNGLBUFFERDATAARBPROC>(ctx, "glBufferDataARB", "glBufferData");
    auto subData = lookUp<PFNGLBUFFERSUBDATAARBPROC>(ctx, "glBufferSubDataARB", "glBufferSubData");
    auto del = lookUp<PFNGLDELETEBUFFERSARBPROC>(ctx, "glDeleteBuffersARB", "glDeleteBuffers");
    if (!gen || !bind || !data || !subData || !del)
        return false;
    __glewGenBuffersARB = gen;
    __glewBindBufferARB = bind;
    __glewBufferDataARB = data;
    __glewBufferSubDataARB = subData;
    __glewDeleteBuffersARB = del;
    return true;
}

void APIENTRY stubGenBuffers(GLsizei n, GLuint *buffers)
{
    if (resolveFromCurrentContext()) {
        __glewGenBuffersARB(n, buffers);
        return;
    }
    if (buffers && n > 0)
        std::fill(buffers, buffers + n, 0u);
}

void APIENTRY stubBindBuffer(GLenum target, GLuint buffer)
{
    if (resolveFromCurrentContext())
        __glewBindBufferARB(target, buffer);
}

void APIENTRY stubBufferData(GLenum target, GLsizeiptrARB size, const void *data, GLenum usage)
{
    if (resolveFromCurrentContext())
        __glewBufferDataARB(target, size, data, usage);
}

void APIENTRY stubBufferSubData(GLenum target, GLintptrARB offset, GLsizeiptrARB size, const void *data)
{
    if (resolveFromCurrentContext())
        __glewBufferSubDataARB(target, offset, size, data);
}

void APIENTRY stubDeleteBuffers(GLsizei n, const GLuint *buffers)
{
    if (resolveFromCurrentContext())
        __glewDeleteBuffersARB(n, buffers);
}

} // namespace

extern "C" {
PFNGLGENBUFFERSARBPROC __glewGenBuffersARB = stubGenBuffers;
PFNGLBINDBUFFERARBPROC __glewBindBufferARB = stubBindBuffer;
PFNGLBUFFERDATAARBPROC __glewBufferDataARB = stubBufferData;
PFNGLBUFFERSUBDATAARBPROC __glewBufferSubDataARB = stubBufferSubData;
PFNGLDELETEBUFFERSARBPROC __glewDeleteBuffersARB = stubDeleteBuffers;
}
