// Peak memory of reading the grid model, one run per process.
//
//   objread_peakmem read       glmReadOBJ of the 708 × 708 grid of quads (1,002,528 triangles)
//   objread_peakmem normals    the same, then glmFacetNormals and glmVertexNormals(90)
//
// Writes the model (objgrid.h) into a temporary folder, runs the step and prints the wall time
// and the peak resident set size of the process, before and after. The file is mapped while it
// is read, so its pages count in the peak as well as the model's arrays.

#include "library/glm.h"

#include "objgrid.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <sys/resource.h>

#include <cstdio>
#include <string>

namespace {

long peakKiB()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

int usage()
{
    std::fprintf(stderr, "usage: objread_peakmem read|normals\n");
    return 2;
}

}   // namespace

int main(int argc, char **argv)
{
    if (argc != 2)
        return usage();
    const std::string what = argv[1];
    if (what != "read" && what != "normals")
        return usage();
    const QString path = objbench::gridObjPath();
    if (path.isEmpty()) {
        std::fprintf(stderr, "objread_peakmem: cannot write the grid model\n");
        return 1;
    }
    const double fileMiB = QFileInfo(path).size() / 1048576.0;
    const long before = peakKiB();
    QElapsedTimer timer;
    timer.start();
    GLMreadError error;
    std::unique_ptr<GLMmodel> model = glmReadOBJ(path, &error);
    if (!model) {
        std::fprintf(stderr, "objread_peakmem: %s\n", qPrintable(error.message));
        return 1;
    }
    if (what == "normals") {
        glmFacetNormals(model.get());
        glmVertexNormals(model.get(), 90.0f);
    }
    std::printf("%s: %u vertices, %u triangles from %.1f MiB of text, %.2f s, peak RSS %.1f MiB "
                "(%.1f MiB before the read)\n",
                what == "read" ? "glmReadOBJ" : "glmReadOBJ + glmFacetNormals + glmVertexNormals(90)",
                model->numvertices, model->numtriangles, fileMiB, timer.elapsed() / 1000.0, peakKiB() / 1024.0,
                before / 1024.0);
    return 0;
}
