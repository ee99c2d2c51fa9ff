#include "graph/noisegraph.h"

#include "noise/modules.h"

#include <algorithm>

namespace orovista {

namespace nm = noise::module;
using noise::utils::ModuleGraph;

namespace {

constexpr int maxOctaves = 30;
constexpr int controlImageSlot = 2;   // INPUT 1 and 2 use slots 0 and 1

noise::NoiseQuality quality(int slider)
{
    return noise::NoiseQuality(std::clamp(slider - 1, 0, 2));
}

int octaves(const GeneratorSettings &g, bool fullOctaves)
{
    return fullOctaves ? maxOctaves : std::clamp(g.octaves, 1, maxOctaves);
}

template <class Fractal>
Fractal &fractal(ModuleGraph &graph, const GeneratorSettings &g, bool fullOctaves, bool persistence)
{
    auto &m = graph.Add<Fractal>();
    m.SetFrequency(g.frequency * 0.1);
    m.SetLacunarity(g.lacunarity * 0.1);
    m.SetNoiseQuality(quality(g.quality));
    m.SetOctaveCount(octaves(g, fullOctaves));
    if constexpr (requires { m.SetPersistence(0.5); })
        if (persistence)
            m.SetPersistence(g.persistence * 0.1);
    m.SetSeed(g.seed);
    return m;
}

nm::Module &generator(ModuleGraph &graph, const GeneratorSettings &g, int imageSlot, bool fullOctaves)
{
    switch (g.noiseType()) {
    case NoiseType::Billow:
        return fractal<nm::Billow>(graph, g, fullOctaves, true);
    case NoiseType::Perlin:
        return fractal<nm::Perlin>(graph, g, fullOctaves, true);
    case NoiseType::MultiFractal: {
        auto &m = fractal<nm::RidgedMulti>(graph, g, fullOctaves, false);
        m.offset = g.multiFractalOffset * 0.01;
        m.gain = g.multiFractalGain * 0.01;
        m.weight = g.multiFractalWeight * 0.01;
        return m;
    }
    case NoiseType::CheckerBoard: {
        auto &m = graph.Add<nm::Checkerboard>();
        m.frequency = g.frequency * 0.1;
        return m;
    }
    case NoiseType::Cylinders: {
        auto &m = graph.Add<nm::Cylinders>();
        m.SetFrequency(g.frequency * 0.1);
        return m;
    }
    case NoiseType::Spheres: {
        auto &m = graph.Add<nm::Spheres>();
        m.SetFrequency(g.frequency * 0.1);
        return m;
    }
    case NoiseType::Voronoi: {
        auto &m = graph.Add<nm::Voronoi>();
        m.SetFrequency(g.frequency * 0.1);
        m.SetDisplacement(g.displacement * 0.1);
        m.EnableDistance(true);
        m.SetSeed(g.seed);
        return m;
    }
    case NoiseType::Gabor: {
        auto &m = graph.Add<nm::Pitted>();
        m.frequency = g.frequency * 0.1;
        m.seed = g.seed;
        m.a = g.displacement * 0.01;
        m.impulsesPerKernel = gaborImpulsesPerKernel(g.persistence);
        m.anisotropic = g.gaborAnisotropic ? 1 : 0;
        return m;
    }
    case NoiseType::Image: {
        auto &m = graph.Add<nm::NoiseImage>();
        m.fileName = g.imageFile;
        m.slot = imageSlot;
        return m;
    }
    case NoiseType::Flat:
    default: {
        auto &m = graph.Add<nm::Const>();
        m.SetConstValue(0.0);
        return m;
    }
    }
}

nm::Module &cached(ModuleGraph &graph, const nm::Module &source)
{
    auto &cache = graph.Add<nm::Cache>();
    cache.SetSourceModule(0, source);
    return cache;
}

nm::Module &clamp(ModuleGraph &graph, const nm::Module &source, int low, int high)
{
    // The bounds come from two independent spin boxes: take them in order, and a zero-width range
    // is a constant (the clamp module itself wants lower < upper).
    const double lo = std::min(low, high);
    const double hi = std::max(low, high);
    if (lo == hi) {
        auto &c = graph.Add<nm::Const>();
        c.SetConstValue(lo);
        return c;
    }
    auto &m = graph.Add<nm::Clamp>();
    m.SetSourceModule(0, source);
    m.SetBounds(lo, hi);
    return m;
}

template <class M, class... Args>
M &over(ModuleGraph &graph, const nm::Module &source, Args &&...args)
{
    auto &m = graph.Add<M>(std::forward<Args>(args)...);
    m.SetSourceModule(0, source);
    return m;
}

const nm::Module &deformer(ModuleGraph &graph, const DeformerSettings &d, const nm::Module &source, int noiseSize)
{
    switch (d.deformerType()) {
    case DeformerType::Abs:
        return over<nm::Abs>(graph, source);
    case DeformerType::Invert:
        return over<nm::Invert>(graph, source);
    case DeformerType::RoundEdge: {
        auto &m = over<nm::RoundEdge>(graph, source);
        m.edge = noiseSize;
        return m;
    }
    case DeformerType::ScaleBias: {
        auto &m = over<nm::ScaleBias>(graph, source);
        m.SetScale(d.scaleBiasLow * 0.1);
        m.SetBias(d.scaleBiasHigh * 0.01);
        return m;
    }
    case DeformerType::Curve: {
        const auto &points = curveProfile(d.curveProfile);
        if (points.empty())
            return source;   // no preset chosen yet: the source passes through
        auto &m = over<nm::Curve>(graph, source);
        for (const auto &[in, out] : points)
            m.AddControlPoint(in, out);
        return clamp(graph, m, -100, 100);
    }
    case DeformerType::Terrace: {
        const auto &points = terraceProfile(d.terraceProfile);
        if (points.empty())
            return source;
        auto &m = over<nm::Terrace>(graph, source);
        for (double p : points)
            m.AddControlPoint(p);
        return clamp(graph, m, -100, 100);
    }
    case DeformerType::Exponent: {
        auto &m = over<nm::Exponent>(graph, source);
        m.SetExponent(d.exponent);
        return clamp(graph, m, -100, 100);
    }
    case DeformerType::Clamp:
    default:
        return clamp(graph, source, d.clampLow, d.clampHigh);
    }
}

template <class M>
M &combine(ModuleGraph &graph, const nm::Module &a, const nm::Module &b)
{
    auto &m = graph.Add<M>();
    m.SetSourceModule(0, a);
    m.SetSourceModule(1, b);
    return m;
}

const nm::Module &combiner(ModuleGraph &graph, const CombinerSettings &c, const nm::Module &a, const nm::Module &b,
                           const nm::Module &control)
{
    switch (c.combinerType()) {
    case CombinerType::Max:
        return combine<nm::Max>(graph, a, b);
    case CombinerType::Min:
        return combine<nm::Min>(graph, a, b);
    case CombinerType::Multiply:
        return combine<nm::Multiply>(graph, a, b);
    case CombinerType::Pow:
        return combine<nm::Power>(graph, a, b);
    case CombinerType::Blend: {
        auto &m = combine<nm::Blend>(graph, a, b);
        m.SetControlModule(control);
        return m;
    }
    case CombinerType::Select: {
        auto &m = combine<nm::Select>(graph, a, b);
        m.SetControlModule(control);
        m.SetBounds(0.0, 1000.0);
        m.SetEdgeFalloff(c.edgeFalloff * 0.01);
        return m;
    }
    case CombinerType::Add:
    default:
        return combine<nm::Add>(graph, a, b);
    }
}

nm::Turbulence &turbulence(ModuleGraph &graph, const FinalSettings &f, const nm::Module &source)
{
    auto &m = over<nm::Turbulence>(graph, source);
    m.SetFrequency(f.turbulenceFrequency * 0.01);
    m.SetPower(f.turbulencePower * 0.01);
    m.SetRoughness(std::clamp(f.turbulenceRoughness, 1, maxOctaves));
    m.SetSeed(f.turbulenceSeed);
    return m;
}

/// Passes its source's value through and remembers the point it was asked for. Under a turbulence
/// module it learns where that module displaced the plane to; over one, which point it displaced.
class PointRecorder : public nm::Module {
public:
    PointRecorder() : Module(1) {}
    int GetSourceModuleCount() const override { return 1; }
    double GetValue(double x, double y, double z) const override
    {
        m_valid = true;
        m_x = x;
        m_y = y;
        m_z = z;
        return m_pSourceModule[0]->GetValue(x, y, z);
    }
    bool askedFor(double x, double y, double z) const { return m_valid && x == m_x && y == m_y && z == m_z; }

    mutable bool m_valid = false;
    mutable double m_x = 0.0, m_y = 0.0, m_z = 0.0;
};

/// Turbulence over a second source with the displacement of a first turbulence module of the same
/// settings: the source sampled where that module displaced the same point to. The displacement
/// is computed again only when the first output has not just been asked for this point.
class TwinTurbulence : public nm::Module {
public:
    TwinTurbulence(const PointRecorder &first, const PointRecorder &displaced)
        : Module(1), m_first(first), m_displaced(displaced)
    {
    }
    int GetSourceModuleCount() const override { return 1; }
    double GetValue(double x, double y, double z) const override
    {
        if (!m_first.askedFor(x, y, z))
            m_first.GetValue(x, y, z);
        return m_pSourceModule[0]->GetValue(m_displaced.m_x, m_displaced.m_y, m_displaced.m_z);
    }

private:
    const PointRecorder &m_first;
    const PointRecorder &m_displaced;
};

}   // namespace

int gaborImpulsesPerKernel(int persistence)
{
    return 4 << std::clamp(persistence - 1, 0, 9);
}

std::unique_ptr<ModuleGraph> buildNoiseGraph(const NoiseSettings &s, bool fullOctaves, Turbulence turbulenceMode)
{
    auto graph = std::make_unique<ModuleGraph>();
    ModuleGraph &g = *graph;
    const nm::Module &input1 = cached(g, generator(g, s.input[0], 0, fullOctaves));
    const nm::Module &input2 = cached(g, generator(g, s.input[1], 1, fullOctaves));
    const nm::Module &deformer1 = cached(g, deformer(g, s.deformer[0], input1, s.final.noiseSize));
    const nm::Module &deformer2 = cached(g, deformer(g, s.deformer[1], input2, s.final.noiseSize));
    // Full-octave runs raise the two inputs only: the control noise keeps its own octave count.
    const nm::Module &control = cached(g, generator(g, s.combiner.control, controlImageSlot, false));
    const nm::Module &combined = combiner(g, s.combiner, deformer1, deformer2, control);
    g.SetOutput(1, input1);
    g.SetOutput(2, input2);
    g.SetOutput(3, deformer1);
    g.SetOutput(4, deformer2);
    g.SetOutput(5, combined);
    g.SetOutput(6, combined);
    g.SetOutput(7, control);
    if (turbulenceMode == Turbulence::Separate) {
        g.SetOutput(8, turbulence(g, s.final, deformer1));
        g.SetOutput(9, turbulence(g, s.final, deformer2));
    } else {
        auto &displaced = over<PointRecorder>(g, deformer1);
        auto &first = over<PointRecorder>(g, turbulence(g, s.final, displaced));
        g.SetOutput(8, first);
        g.SetOutput(9, over<TwinTurbulence>(g, deformer2, first, displaced));
    }
    return graph;
}

noise::utils::ModuleGraphFactory noiseGraphFactory(const NoiseSettings &settings, bool fullOctaves,
                                                   Turbulence turbulence)
{
    return [settings, fullOctaves, turbulence] { return buildNoiseGraph(settings, fullOctaves, turbulence); };
}

const std::vector<std::pair<double, double>> &curveProfile(int profile)
{
    static const std::vector<std::pair<double, double>> profiles[17] = {
        {},
        {{-1, -1}, {-0.9, -0.9}, {-0.8, -0.9}, {-0.7, -0.94}, {-0.6, -1}, {-0.5, -0.85}, {-0.45, -0.7}, {-0.4, -0.3},
         {-0.36, 0.2}, {-0.3, 0.8}, {-0.23, 0.8}, {-0.1, 0.75}, {0, 0.3}, {0.1, -0.3}, {0.15, -0.7}, {0.35, -0.95}, {1, -1}},
        {{-1, 1}, {-0.85, 0.85}, {-0.7, 0.6}, {-0.55, 0.1}, {-0.4, -0.35}, {-0.25, -0.7}, {-0.15, -0.9}, {0, -1},
         {0.15, -0.9}, {0.25, -0.7}, {0.4, -0.35}, {0.55, 0.1}, {0.7, 0.6}, {0.85, 0.85}, {1, 1}},
        {{-1, -1}, {-0.8, -0.8}, {-0.55, 0.67}, {-0.3, -0.6}, {0.05, -0.6}, {0.3, -0.62}, {0.45, -0.33}, {0.601, -0.1},
         {0.602, 0.3}, {0.603, 0.66}, {0.62, 0.9}, {0.68, 0.95}, {0.8, 0.92}, {1, 1}},
        {{-1, -1}, {-0.9, -0.7}, {-0.82, -0.4}, {-0.75, -0.25}, {-0.62, -0.3}, {-0.52, -0.4}, {-0.4, -0.1}, {-0.3, 0.2},
         {-0.1, -0.1}, {0.05, 0.2}, {0.2, 0.6}, {0.4, 0.2}, {0.5, 0.32}, {0.55, 0.6}, {0.62, 0.94}, {0.7, 0.9},
         {0.9, 0.6}, {1, 0.48}},
        {{-1, -1}, {-0.9, -0.9}, {-0.83, -0.83}, {-0.6, -0.78}, {-0.35, -0.6}, {-0.2, -0.32}, {0, 0}, {0.2, 0},
         {0.4, 0.1}, {0.65, 0.3}, {0.8, 0.55}, {0.9, 0.8}, {1, 1}},
        {{-1, -1}, {-0.8, -0.65}, {-0.65, -0.2}, {-0.5, 0.4}, {-0.4, 0.7}, {-0.3, 0.88}, {-0.2, 0.94}, {-0.12, 0.87},
         {-0.075, 0.73}, {0, 0.6}, {0.075, 0.73}, {0.12, 0.87}, {0.2, 0.94}, {0.3, 0.88}, {0.4, 0.7}, {0.5, 0.4},
         {0.65, -0.2}, {0.8, -0.65}, {1, -1}},
        {{-0.9, -1}, {-0.73, -0.75}, {-0.55, -0.35}, {-0.4, -0.1}, {-0.3, -0.05}, {-0.1, -0.05}, {0.18, -0.01},
         {0.35, 0.04}, {0.55, 0.33}, {0.7, 0.67}, {0.81, 0.85}, {0.9, 0.95}, {1, 1}},
        {{-1, 0}, {-0.81, -0.27}, {-0.72, -0.55}, {-0.6, -0.82}, {-0.5, -1}, {-0.3, -0.9}, {-0.1, -0.65}, {0.2, -0.1},
         {0.6, 0.6}, {0.73, 0.89}, {0.83, 0.95}, {1, 1}},
        {{-1, -1}, {-0.85, -0.72}, {-0.6, -0.4}, {-0.3, -0.2}, {-0.11, -0.16}, {0, -0.18}, {0.07, 0}, {0.2, 0.26},
         {0.42, 0.53}, {0.6, 0.75}, {0.78, 0.88}, {1, 0.91}},
        {{-1, 0.95}, {-0.68, 0.9}, {-0.4, 0.7}, {-0.3, 0.55}, {-0.23, 0.38}, {-0.19, 0.1}, {-0.16, -0.2}, {-0.1, -0.6},
         {-0.08, -0.82}, {-0.04, -0.91}, {0, -0.94}, {0.04, -0.91}, {0.08, -0.82}, {0.1, -0.6}, {0.16, -0.2},
         {0.19, 0.1}, {0.23, 0.38}, {0.3, 0.55}, {0.4, 0.7}, {0.68, 0.9}, {1, 0.95}},
        {{-1, -1}, {-0.9, -0.65}, {-0.73, -0.28}, {-0.52, 0.15}, {-0.25, 0.52}, {0, 0.77}, {0.28, 0.88}, {0.5, 0.93},
         {0.79, 0.97}, {1, 1}},
        {{-1, -1}, {-0.8, -0.76}, {-0.43, -0.27}, {-0.18, 0}, {-0.1, 0.13}, {0.02, 0.08}, {0.07, -0.02}, {0.08, -0.33},
         {0.11, -0.74}, {0.14, -0.96}, {0.2, -0.88}, {0.23, -0.66}, {0.29, -0.22}, {0.32, 0.1}, {0.5, 0.24},
         {0.61, 0.42}, {0.77, 0.75}, {0.85, 0.87}, {1, 1}},
        {{0, 0}, {0.2, 0.5}, {0.4, 0.6}, {0.7, 0.65}, {1, 0.65}},
        {{-1, -1}, {-0.5, 0.75}, {0, 0}, {0.5, -0.75}, {1, 1}},
        {{-1, -1}, {-0.25, 0.95}, {0, 0.4}, {0.5, -0.25}, {1, 0.8}},
        {{-1, -1}, {-0.75, 1}, {0, -0.7}, {0.75, 1}, {1, -1}},
    };
    static const std::vector<std::pair<double, double>> none;
    return profile >= 0 && profile < 17 ? profiles[profile] : none;
}

const std::vector<double> &terraceProfile(int profile)
{
    static const std::vector<double> profiles[16] = {
        {},
        {0, 0.2, 0.4, 0.7, 1},
        {-1, -0.5, 0, 0.1, 1},
        {-1, -0.25, 0, 0.5, 1},
        {-1, -0.75, -0.4, -0.1, 0.4, 0.5, 1},
        {-1, -0.6, -0.35, 0, 0.2, 0.65, 0.8, 1},
        {-1, -0.8, -0.65, -0.5, -0.2, 0, 0.3, 1},
        {-0.9, -0.73, -0.4, -0.1, 0.18, 0.55, 0.9, 1},
        {-1, -0.81, -0.5, -0.1, 0.2, 0.6, 0.73, 1},
        {-1, -0.85, -0.3, -0.11, 0, 0.2, 0.6, 1},
        {-1, -0.68, -0.4, -0.16, -0.1, 0, 0.1, 0.4, 0.68, 1},
        {-1, -0.9, -0.73, -0.52, -0.25, 0, 0.28, 0.5, 0.79, 1},
        {-1, -0.8, -0.43, -0.1, 0.02, 0.32, 0.61, 1},
        {0, 0.2, 0.4, 0.7, 1},
        {-1, -0.5, 0, 0.1, 1},
        {-1, -0.25, 0, 0.5, 1},
    };
    static const std::vector<double> none;
    return profile >= 0 && profile < 16 ? profiles[profile] : none;
}

}   // namespace orovista
