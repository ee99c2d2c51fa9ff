#pragma once
// What the OBJ reader benchmarks share: a large model file, written once per process, and the
// calling thread's CPU clock.
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <string>

namespace objbench {

/// CPU seconds of the calling thread (user and system, so page faults and reads count): unlike
/// wall time it does not grow when other processes share the cores.
inline double threadSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + now.tv_nsec * 1e-9;
}

/// Quads per side of the grid model: 708² quads are 1,002,528 triangles.
constexpr int kGridQuads = 708;

/// Writes a kGridQuads × kGridQuads grid of quads over a wavy height field: (kGridQuads + 1)²
/// `v`, `vn` and `vt` lines, then one `f a/b/c` line per quad. The same bytes on every run and
/// machine (fixed formulas, fixed formatting), written through a small buffer so that writing
/// adds nothing to the peak memory of the reads measured after it. Returns false when the file
/// cannot be written.
inline bool writeGridObj(const QString &path)
{
    std::FILE *f = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!f)
        return false;
    const int side = kGridQuads + 1;
    std::string buffer;
    buffer.reserve(1 << 20);
    char line[160];
    auto put = [&](int n) {
        buffer.append(line, std::size_t(n));
        if (buffer.size() > (1u << 20) - 160) {
            std::fwrite(buffer.data(), 1, buffer.size(), f);
            buffer.clear();
        }
    };
    auto height = [](double x, double z) { return 0.2 * std::sin(x * 9.0) * std::cos(z * 7.0) + 0.05 * std::sin(x * 41.0 + z * 29.0); };
    put(std::snprintf(line, sizeof line, "# %d x %d quads, written by the OBJ reader benchmark\ng grid\n", kGridQuads, kGridQuads));
    for (int j = 0; j < side; ++j)
        for (int i = 0; i < side; ++i) {
            const double x = double(i) / kGridQuads, z = double(j) / kGridQuads;
            put(std::snprintf(line, sizeof line, "v %.6f %.6f %.6f\n", x, height(x, z), z));
        }
    for (int j = 0; j < side; ++j)
        for (int i = 0; i < side; ++i) {
            const double x = double(i) / kGridQuads, z = double(j) / kGridQuads, e = 1e-4;
            const double dx = (height(x + e, z) - height(x - e, z)) / (2 * e);
            const double dz = (height(x, z + e) - height(x, z - e)) / (2 * e);
            const double l = std::sqrt(dx * dx + 1.0 + dz * dz);
            put(std::snprintf(line, sizeof line, "vn %.6f %.6f %.6f\n", -dx / l, 1.0 / l, -dz / l));
        }
    for (int j = 0; j < side; ++j)
        for (int i = 0; i < side; ++i)
            put(std::snprintf(line, sizeof line, "vt %.6f %.6f\n", double(i) / kGridQuads, double(j) / kGridQuads));
    for (int j = 0; j < kGridQuads; ++j)
        for (int i = 0; i < kGridQuads; ++i) {
            const int a = j * side + i + 1, b = a + 1, c = a + side + 1, d = a + side;
            put(std::snprintf(line, sizeof line, "f %d/%d/%d %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, d, d, d, c, c, c, b, b, b));
        }
    std::fwrite(buffer.data(), 1, buffer.size(), f);
    const bool ok = std::ferror(f) == 0;
    return std::fclose(f) == 0 && ok;
}

/// The grid model in a temporary folder that lives as long as the process; empty when it cannot
/// be written.
inline QString gridObjPath()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString p = dir.filePath(QStringLiteral("grid708.obj"));
        return dir.isValid() && writeGridObj(p) ? p : QString();
    }();
    return path;
}

}   // namespace objbench
