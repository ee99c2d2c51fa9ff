#pragma once
// A run's pictures on the run's own surface.
//
// The surface of a run is the 512 × 512 height field its mesh is built from, after erosion and
// sculpting. The colour texture and the normal map are sampled from the noise graph at their own
// size N with every octave, which holds finer relief than 512 samples can. SurfaceDetail moves
// such a run onto the surface: at every sample
//
//     picture = surface(u) + clamp(graph_N − graph_512(u), −bound, +bound)
//
// where u is the sample's place in the 512 grid, and surface and graph_512 (the 512 map as the
// graph made it, before erosion and sculpting) are read there by Catmull-Rom. Everything the
// surface changed reaches the picture whole; the graph's finer detail is kept up to bound. The
// largest detail a run added is its deviation from the surface: the most a picture's height
// departs from the mesh's anywhere, stated beside the pictures in metres.
//
// Limits: u follows the machine's sampling (sample x of N at x · 512 / N of the 512 grid; for an
// imported heightmap x · 511 / (N − 1)), so a picture sample beyond the last mesh vertex reads the
// surface's edge. Values are the machine's (not metres).
#include "graph/noisemachine.h"
#include "terrain/heightmapimport.h"

#include <atomic>
#include <vector>

namespace orovista {

/// A map's values row by row (row y from y · width), as SurfaceDetail takes them.
std::vector<float> mapValues(const noise::utils::NoiseMap &map);

class SurfaceDetail : public HeightShift {
public:
    /// surface and graph: size × size maps, row y of the map at y · size. imported: the runs read
    /// an imported heightmap (its samples lie edge to edge). bound: the largest detail added.
    /// One object serves runs of any size.
    SurfaceDetail(std::vector<float> surface, std::vector<float> graph, int size, bool imported, float bound);

    void rowShift(int first, int count, int n, const std::function<const float *(int)> &finalRow,
                  float *shift) const override;

    /// The largest |picture − surface| of the rows moved so far, in map values.
    float deviation() const { return m_deviation.load(); }
    float bound() const { return m_bound; }

private:
    std::vector<float> m_surface, m_graph;
    int m_size;
    bool m_imported;
    float m_bound;
    mutable std::atomic<float> m_deviation{0.0f};
};

}   // namespace orovista
