// The vertex-buffer entry points resolve from the current GL context on first use and do
// nothing without one.
#include "dzglbuffers.h"
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <gtest/gtest.h>

TEST(DzGLBuffers, StubsWithoutAContextThenRealFunctionsWithOne)
{
    // No context current: nothing happens, GenBuffers yields zeros, the stubs stay.
    ASSERT_EQ(QOpenGLContext::currentContext(), nullptr);
    const PFNGLGENBUFFERSARBPROC stub = __glewGenBuffersARB;
    GLuint names[2] = {77, 78};
    __glewGenBuffersARB(2, names);
    EXPECT_EQ(names[0], 0u);
    EXPECT_EQ(names[1], 0u);
    __glewBindBufferARB(GL_ARRAY_BUFFER_ARB, 5);
    __glewDeleteBuffersARB(2, names);
    EXPECT_EQ(__glewGenBuffersARB, stub);

    QOpenGLContext context;
    ASSERT_TRUE(context.create());
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    ASSERT_TRUE(context.makeCurrent(&surface));

    __glewGenBuffersARB(2, names);
    EXPECT_NE(__glewGenBuffersARB, stub);   // resolved and stored
    EXPECT_NE(names[0], 0u);
    EXPECT_NE(names[1], names[0]);

    using IsBuffer = GLboolean(APIENTRY *)(GLuint);
    auto isBuffer = reinterpret_cast<IsBuffer>(context.getProcAddress("glIsBuffer"));
    ASSERT_NE(isBuffer, nullptr);
    const float data[4] = {1, 2, 3, 4};
    __glewBindBufferARB(GL_ARRAY_BUFFER_ARB, names[0]);
    __glewBufferDataARB(GL_ARRAY_BUFFER_ARB, sizeof data, data, GL_STATIC_DRAW_ARB);
    __glewBufferSubDataARB(GL_ARRAY_BUFFER_ARB, 0, sizeof(float), data + 3);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_TRUE(isBuffer(names[0]));
    __glewBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    __glewDeleteBuffersARB(2, names);
    EXPECT_FALSE(isBuffer(names[0]));
    context.doneCurrent();
}
