// The OBJ reader: face forms, fans, negative indices, groups, normals, bounds and refused files.
#include "library/glm.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/stat.h>
#endif

namespace {

std::unique_ptr<GLMmodel> read(const std::string &text, GLMreadError *error = nullptr)
{
    return glmReadOBJFromBytes(text.data(), text.size(), QStringLiteral("test.obj"), error);
}

const char *const cubeVertices =
    "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0 0 1\nv 1 0 1\nv 1 1 1\nv 0 1 1\n";

// The six faces of the unit cube, counter-clockwise seen from outside, as quads.
const int cubeQuads[6][4] = {{1, 4, 3, 2}, {5, 6, 7, 8}, {1, 2, 6, 5}, {4, 8, 7, 3}, {1, 5, 8, 4}, {2, 3, 7, 6}};

std::string cube(const std::string &form)
{
    std::string s = cubeVertices;
    s += "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n";
    s += "vn 0 0 -1\nvn 0 0 1\nvn 0 -1 0\nvn 0 1 0\nvn -1 0 0\nvn 1 0 0\n";
    for (int f = 0; f < 6; ++f) {
        s += "f";
        for (int c = 0; c < 4; ++c) {
            const std::string v = std::to_string(cubeQuads[f][c]), t = std::to_string(c + 1), n = std::to_string(f + 1);
            s += " " + (form == "v" ? v : form == "v/t" ? v + "/" + t : form == "v//n" ? v + "//" + n : v + "/" + t + "/" + n);
        }
        s += "\n";
    }
    return s;
}

}   // namespace

TEST(ObjReader, ACubeInEachFaceFormGivesTwelveTrianglesAndTheUnitBounds)
{
    for (const char *form : {"v", "v/t", "v//n", "v/t/n"}) {
        SCOPED_TRACE(form);
        GLMreadError error;
        auto m = read(cube(form), &error);
        ASSERT_TRUE(m) << error.message.toStdString();
        EXPECT_EQ(m->numvertices, 8u);
        EXPECT_EQ(m->numtriangles, 12u);
        EXPECT_EQ(m->numtexcoords, 4u);
        EXPECT_EQ(m->numnormals, 6u);
        const float expected[6] = {0, 0, 0, 1, 1, 1};
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(m->bounds[i], expected[i]);
        const GLMtriangle &t = m->triangles[1];   // second triangle of the first quad: 1, 3, 2
        EXPECT_EQ(t.vindices[0], 1u);
        EXPECT_EQ(t.vindices[1], 3u);
        EXPECT_EQ(t.vindices[2], 2u);
        const bool textured = std::string(form).find("/t") != std::string::npos;
        const bool normals = std::string(form).find("n") != std::string::npos;
        EXPECT_EQ(t.tindices[1], textured ? 3u : 0u);
        EXPECT_EQ(t.nindices[2], normals ? 1u : 0u);
    }
}

TEST(ObjReader, FansNegativeIndicesGroupsAndSkippedLines)
{
    const std::string text =
        "# a pentagon and a quad by negative indices\n"
        "mtllib scene.mtl\no thing\ns 1\n"
        "v 0 0 0\nv 1 0 0\nv 2 1 0\nv 1 2 0\nv 0 1 0\n"
        "g roof\nf 1 2 3 4 5\n"
        "v 0 0 5\nv 1 0 5\nv 1 1 5\nv 0 1 5\n"
        "g walls\nf -4 -3 -2 -1\n"
        "g roof\nusemtl slate\nf 1 3 5\r\n";
    auto m = read(text);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->mtllibname, "scene.mtl");
    EXPECT_EQ(m->numtriangles, 6u);
    // Fan around the first corner: (1,2,3) (1,3,4) (1,4,5).
    EXPECT_EQ(m->triangles[2].vindices[1], 4u);
    EXPECT_EQ(m->triangles[2].vindices[2], 5u);
    // -4 .. -1 after nine vertices are 6 .. 9.
    EXPECT_EQ(m->triangles[3].vindices[0], 6u);
    EXPECT_EQ(m->triangles[4].vindices[2], 9u);
    // Groups in list order: the newest first; "default" was there from the start.
    ASSERT_EQ(m->numgroups(), 3u);
    EXPECT_EQ(m->groups[0].name, "walls");
    EXPECT_EQ(m->groups[1].name, "roof");
    EXPECT_EQ(m->groups[2].name, "default");
    EXPECT_EQ(m->groups[1].numtriangles, 4u);
    EXPECT_EQ(m->groups[1].triangles.back(), 5u);
    EXPECT_EQ(m->groups[0].triangles, std::vector<unsigned>({3u, 4u}));
    EXPECT_EQ(m->groups[1].material, 0u);
}

TEST(ObjReader, FacetAndSmoothedNormals)
{
    auto m = read(cube("v"));
    ASSERT_TRUE(m);
    glmFacetNormals(m.get());
    ASSERT_EQ(m->numfacetnorms, 12u);
    // The first quad faces -z.
    EXPECT_FLOAT_EQ(m->facetnorms[3 * 1 + 2], -1.0f);
    EXPECT_EQ(m->triangles[0].findex, 1u);

    // Within 90 degrees nothing on a cube smooths (neighbouring faces meet at right angles):
    // every corner keeps its face's normal.
    glmVertexNormals(m.get(), 90.0f);
    for (unsigned i = 0; i < m->numtriangles; ++i)
        for (int j = 0; j < 3; ++j) {
            const float *n = &m->normals[3 * std::size_t(m->triangles[i].nindices[j])];
            const float *f = &m->facetnorms[3 * std::size_t(m->triangles[i].findex)];
            EXPECT_NEAR(n[0] * f[0] + n[1] * f[1] + n[2] * f[2], 1.0f, 1e-6f) << i << " " << j;
        }

    // Over 91 degrees the corner normals of vertex 1 average its three faces.
    glmVertexNormals(m.get(), 91.0f);
    const float s = 1.0f / std::sqrt(3.0f);
    EXPECT_NEAR(m->vertexNormals[0], -s, 1e-6f);
    EXPECT_NEAR(m->vertexNormals[1], -s, 1e-6f);
    EXPECT_NEAR(m->vertexNormals[2], -s, 1e-6f);
    EXPECT_EQ(m->triangles[0].nindices[0], 1u);
}

TEST(ObjReader, AFlatTerrainPatchSmoothsUpwards)
{
    // Two triangles of a slightly bent sheet: within 90 degrees both share one averaged normal.
    auto m = read("v 0 0 0\nv 1 0 0\nv 1 0.2 1\nv 0 0 1\nf 1 4 3\nf 1 3 2\n");
    ASSERT_TRUE(m);
    glmFacetNormals(m.get());
    glmVertexNormals(m.get(), 90.0f);
    EXPECT_GT(m->vertexNormals[1], 0.9f);   // vertex 1 points up
    EXPECT_EQ(m->numnormals, 4u);            // no corner fell outside the angle
}

TEST(ObjReader, BadFilesAreRefusedWithFileLineAndIndex)
{
    struct Case { const char *text, *expect; };
    const Case cases[] = {
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 0\n", "line 4: vertex index 0 is out of range"},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 4\nv 1 1 1\n", "line 4: vertex index 4 is out of range (3 read so far)"},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf -4 -2 -1\n", "line 4: vertex index -4 is out of range"},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nf 1//1 2//2 3//1\n", "line 5: normal index 2 is out of range"},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1/1 2/1 3/1\n", "line 4: texture coordinate index 1 is out of range"},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1//1 2/2/2 3\n", "line 4: face corner \"2/2/2\""},
        {"v 0 0 0\nv 1 0 0\nf 1 2\n", "line 3: a face needs at least three corners"},
        {"v 0 0\n", "line 1: a vertex needs 3 numbers"},
        {"v 0 zero 0\n", "line 1: a vertex needs 3 numbers"},
        {"v 0 nan 0\n", "line 1: a vertex needs 3 numbers"},
        {"v 0 +-1 0\n", "line 1: a vertex needs 3 numbers"},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 +-3\n", "line 4: face corner \"+-3\""},
        {"v 0 0 0\nvx 1 2 3\n", "line 2: unknown token \"vx\""},
        {"v 0 0 0\nvt\n", "line 2: a texture coordinate needs 1 to 3 numbers"},
        {"v 0 0 0\nvt 0 x\n", "line 2: a texture coordinate needs 1 to 3 numbers"},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 \\ 3\n", "line 4: face corner \"\\\""},
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3x\n", "line 4: face corner \"3x\""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        GLMreadError error;
        EXPECT_FALSE(read(c.text, &error));
        EXPECT_EQ(error.kind, GLMreadError::Malformed);
        EXPECT_TRUE(error.message.startsWith(QStringLiteral("test.obj, line "))) << error.message.toStdString();
        EXPECT_TRUE(error.message.contains(QString::fromLatin1(c.expect))) << error.message.toStdString();
    }
}

TEST(ObjReader, FilesOnDiskEmptyFilesAndMissingFiles)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cube.obj"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(cube("v//n").c_str());
    f.close();
    GLMreadError error;
    auto m = glmReadOBJ(path, &error);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->pathname, path.toStdString());
    EXPECT_EQ(m->numtriangles, 12u);

    QFile empty(dir.filePath(QStringLiteral("empty.obj")));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    auto none = glmReadOBJ(empty.fileName(), &error);
    ASSERT_TRUE(none);   // an empty file is an empty model
    EXPECT_EQ(none->numtriangles, 0u);
    EXPECT_EQ(none->bounds[0], 2147483648.0f);

    EXPECT_FALSE(glmReadOBJ(dir.filePath(QStringLiteral("missing.obj")), &error));
    EXPECT_EQ(error.kind, GLMreadError::CannotOpen);
    EXPECT_TRUE(error.message.endsWith(QStringLiteral("missing.obj")));
}

TEST(ObjReader, LegalStatementsWithoutUseAreSkippedAndLinesGoOnAfterABackslash)
{
    // Curves and surfaces with their parameter-space vertices, points, lines, smoothing and
    // merging groups, texture maps and objects around one textured triangle and one quad.
    const std::string text =
        "mtllib scene.mtl\nmaplib maps.mpc\no terrain\n"
        "v 0 0 0\nv 1 0 0\nv 1 0 1\nv 0 0 1\n"
        "vp 0.5\nvp 0.1 0.2\nvp 0.1 0.2 1.0\n"
        "vt 0.25\nvt 0.5 0.75 0\nvt 1 1\n"
        "cstype rat bspline\ndeg 3\ncurv 0.0 1.0 1 2 3 4\nparm u 0 0 0 1 1 1\nend\n"
        "surf 0 1 0 1 1/1 2/2 3/3 4/1\ntrim 0 1 1\nhole 0 1 1\nscrv 0 1 1\nsp 1\n"
        "ctech cparm 1.0\nstech cparma 1 1\nbmat u 1 0 0 1\nstep 1\n"
        "p 1 2\nl 1 2 3\ns 1\nmg 1 0.5\nusemap grass\nlod 1\nbevel off\nc_interp on\nd_interp off\n"
        "shadow_obj shadow.obj\ntrace_obj trace.obj\n"
        "g ground\nusemtl rock\nf 1/1 2/2 3/3\n"
        "# C:\\models\\\n"
        "f 1 \\\n  3 \\  \r\n  4\n";
    GLMreadError error;
    auto m = read(text, &error);
    ASSERT_TRUE(m) << error.message.toStdString();
    EXPECT_EQ(m->mtllibname, "scene.mtl") << "mg and maplib are no material library";
    EXPECT_EQ(m->numvertices, 4u);
    EXPECT_EQ(m->numtexcoords, 3u);
    EXPECT_EQ(m->numtriangles, 2u);
    EXPECT_FLOAT_EQ(m->texcoords[2 * 1], 0.25f);
    EXPECT_FLOAT_EQ(m->texcoords[2 * 1 + 1], 0.0f) << "v defaults to 0";
    EXPECT_FLOAT_EQ(m->texcoords[2 * 2 + 1], 0.75f);
    EXPECT_EQ(m->triangles[0].tindices[2], 3u);
    // The face over three lines: corners 1, 3, 4; the comment ending in a backslash took
    // nothing with it.
    EXPECT_EQ(m->triangles[1].vindices[0], 1u);
    EXPECT_EQ(m->triangles[1].vindices[1], 3u);
    EXPECT_EQ(m->triangles[1].vindices[2], 4u);
    EXPECT_EQ(m->groups[0].name, "ground");
    EXPECT_EQ(m->groups[0].numtriangles, 2u);

    // Line numbers in messages count the lines of the file, continued ones too.
    EXPECT_FALSE(read("v 0 0 0 \\\n\nv 1 0 0\nf 1 2 3\n", &error));
    EXPECT_TRUE(error.message.endsWith(QStringLiteral("line 4: vertex index 3 is out of range (2 read so far)")))
        << error.message.toStdString();
}

/// An n × n grid of quads as OBJ text.
std::string grid(int n)
{
    std::string s;
    for (int r = 0; r <= n; ++r)
        for (int c = 0; c <= n; ++c)
            s += "v " + std::to_string(c) + " 0 " + std::to_string(r) + "\n";
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c) {
            const int a = r * (n + 1) + c + 1;
            s += "f " + std::to_string(a) + " " + std::to_string(a + n + 1) + " " + std::to_string(a + n + 2) + " " +
                 std::to_string(a + 1) + "\n";
        }
    return s;
}

TEST(ObjReader, TheCallerFollowsAReadAndCanStopIt)
{
    const std::string text = grid(100);   // 10201 vertices and 10000 faces
    std::vector<double> heard;
    GLMreadError error;
    auto m = read(text, &error);
    ASSERT_TRUE(m);
    m = glmReadOBJFromBytes(text.data(), text.size(), QStringLiteral("grid.obj"), &error, [&](double fraction) {
        heard.push_back(fraction);
        return true;
    });
    ASSERT_TRUE(m) << error.message.toStdString();
    EXPECT_EQ(m->numtriangles, 20000u);
    ASSERT_GE(heard.size(), 4u);
    EXPECT_TRUE(std::is_sorted(heard.begin(), heard.end()));
    EXPECT_GT(heard.front(), 0.0);
    EXPECT_LT(heard.front(), 0.5);
    EXPECT_GT(heard.back(), 0.5) << "the second pass is heard too";
    EXPECT_LE(heard.back(), 1.0);

    // Stopped half-way through the first pass: no model, and the error says so.
    int calls = 0;
    m = glmReadOBJFromBytes(text.data(), text.size(), QStringLiteral("grid.obj"), &error,
                            [&](double fraction) {
                                ++calls;
                                return fraction < 0.25;
                            });
    EXPECT_FALSE(m);
    EXPECT_EQ(error.kind, GLMreadError::Stopped);
    EXPECT_EQ(error.message, QStringLiteral("stopped"));
    EXPECT_LT(calls, int(heard.size()) / 2 + 1) << "it stopped when asked";

    // The same from a file on disk.
    QTemporaryDir dir;
    QFile f(dir.filePath(QStringLiteral("grid.obj")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.data(), qint64(text.size()));
    f.close();
    EXPECT_FALSE(glmReadOBJ(f.fileName(), &error, [](double fraction) { return fraction < 0.6; }));
    EXPECT_EQ(error.kind, GLMreadError::Stopped);
}

#ifdef Q_OS_UNIX
TEST(ObjReader, APipeIsReadAsItsBytesArrive)
{
    // A pipe has no length and cannot be mapped: its bytes are read as they come.
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("terrain.obj"));
    ASSERT_EQ(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    const std::string text = grid(40);
    std::signal(SIGPIPE, SIG_IGN);   // a reader that gives up early fails the test, not the program
    std::thread writer([&] {
        QFile out(fifo);
        if (out.open(QIODevice::WriteOnly))
            out.write(text.data(), qint64(text.size()));
    });
    GLMreadError error;
    int calls = 0;
    auto m = glmReadOBJ(fifo, &error, [&](double) {
        ++calls;
        return true;
    });
    writer.join();
    ASSERT_TRUE(m) << error.message.toStdString();
    EXPECT_EQ(m->numtriangles, 3200u);
    EXPECT_GT(calls, 1);
}
#endif
