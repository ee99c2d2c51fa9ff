#pragma once
// Vertex-buffer entry points that the host library exports for plug-ins. They act on the GL
// context current at the call: the first call through any of them resolves all five from that
// context. Without a current context they do nothing (GenBuffers yields zeros).
#include "dzglobal.h"
#include <GL/gl.h>
#include <GL/glext.h>

extern "C" {
DZCORE_API extern PFNGLGENBUFFERSARBPROC __glewGenBuffersARB;
DZCORE_API extern PFNGLBINDBUFFERARBPROC __glewBindBufferARB;
DZCORE_API extern PFNGLBUFFERDATAARBPROC __glewBufferDataARB;
DZCORE_API extern PFNGLBUFFERSUBDATAARBPROC __glewBufferSubDataARB;
DZCORE_API extern PFNGLDELETEBUFFERSARBPROC __glewDeleteBuffersARB;
}
