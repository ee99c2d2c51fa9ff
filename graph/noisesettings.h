#pragma once
// The settings of the whole noise graph, as plain values: what the node panels show, what a preset
// stores and what the noise machine reads. Every field holds the raw control value (slider
// position, spin-box value, combo index); the machine applies the conversions (× 0.1, × 0.01, ...).
#include <QString>
#include <QStringList>

namespace orovista {

/// Noise types of an INPUT and of the COMBINER's control noise, in combo order.
enum class NoiseType { Flat, Billow, CheckerBoard, Cylinders, MultiFractal, Perlin, Spheres, Voronoi, Gabor, Image };
inline const QStringList noiseTypeNames = {"Flat",    "Billow",  "CheckerBoard", "Cylinders",         "MultiFractal",
                                           "Perlin",  "Spheres", "Voronoi",      "Gabor Convolution", "Image"};

/// Deformer types, in combo order.
enum class DeformerType { Abs, Clamp, Curve, Exponent, Invert, RoundEdge, ScaleBias, Terrace };
inline const QStringList deformerTypeNames = {"Abs",        "Clamp",     "Curve",  "Exponent",
                                              "Invert",     "Round Edge", "ScaleBias", "Terrace"};

/// Combiner types, in combo order.
enum class CombinerType { Add, Max, Min, Multiply, Pow, Blend, Select };
inline const QStringList combinerTypeNames = {"Add", "Max", "Min", "Multiply", "Pow", "Blend", "Select"};

/// Erosion types, in combo order.
enum class ErosionType { None, Thermal, ImprovedThermal, Hydraulics, Smooth, Sediment };
inline const QStringList erosionTypeNames = {"no erosion", "thermal", "improved thermal", "hydraulics",
                                             "smooth terrain", "sediment erosion"};

/// A generator: an INPUT node, or the COMBINER's control noise.
struct GeneratorSettings {
    int type = int(NoiseType::Flat);
    int seed = 0;              ///< 0 … 16
    int frequency = 10;        ///< × 0.1
    int lacunarity = 15;       ///< × 0.1
    int quality = 2;           ///< 1 fast, 2 standard, 3 best
    int octaves = 4;           ///< 1 … 30
    int persistence = 5;       ///< × 0.1; Gabor: 4 × 2^(value − 1) impulses per kernel
    int displacement = 1;      ///< × 0.1; Gabor: a = value × 0.01
    int multiFractalOffset = 100;   ///< × 0.01
    int multiFractalGain = 200;     ///< × 0.01
    int multiFractalWeight = 100;   ///< × 0.01
    bool gaborAnisotropic = false;
    QString imageFile;         ///< picture of the "Image" type; empty = none chosen

    NoiseType noiseType() const { return NoiseType(type); }

    bool operator==(const GeneratorSettings &) const = default;
};

struct DeformerSettings {
    int type = int(DeformerType::Clamp);
    int clampLow = -100;
    int clampHigh = 100;
    int exponent = 1;
    int scaleBiasLow = 10;     ///< scale × 0.1
    int scaleBiasHigh = 0;     ///< bias × 0.01
    int curveProfile = 0;      ///< 0 … 16; 0 = none chosen
    int terraceProfile = 0;    ///< 0 … 15; 0 = none chosen

    DeformerType deformerType() const { return DeformerType(type); }

    bool operator==(const DeformerSettings &) const = default;
};

struct CombinerSettings {
    int type = int(CombinerType::Add);
    GeneratorSettings control = [] {
        GeneratorSettings g;
        g.seed = 1;
        g.lacunarity = 20;
        return g;
    }();
    int edgeFalloff = 0;       ///< −100 … 100, × 0.01

    CombinerType combinerType() const { return CombinerType(type); }

    bool operator==(const CombinerSettings &) const = default;
};

struct FinalSettings {
    int noiseSize = 4;         ///< side B of the plane window, 1 … 512
    int startX = 0;            ///< H, −32 … 32
    int startY = 0;            ///< V, −32 … 32
    int previewSize = 1;       ///< preview resolution = value × 256
    int mapStyle = 0;          ///< 0 height map, 1 texture map
    QString leftGradient = QStringLiteral("australia 2.bmp");    ///< INPUT 1 / DEFORMER 1 branch
    QString rightGradient = QStringLiteral("australia 2.bmp");   ///< INPUT 2 / DEFORMER 2 branch
    bool lightOn = true;
    int lightContrast = 2;     ///< 1 … 10
    int lightIntensity = 40;   ///< × 0.05
    int lightAzimuth = 45;     ///< degrees
    int lightElevation = 45;   ///< degrees
    int turbulenceFrequency = 0;   ///< × 0.01
    int turbulencePower = 0;       ///< × 0.01
    int turbulenceRoughness = 1;   ///< octaves
    int turbulenceSeed = 0;
    int erosionType = int(ErosionType::None);
    int erosionIterations = 0;
    int erosionRain = 1;           ///< × 0.01
    int erosionSolubility = 1;     ///< × 0.01
    int erosionEvaporation = 90;   ///< × 0.01
    int erosionCapacity = 1;       ///< × 0.01
    // Sediment erosion (terrain/sedimenterosion.h); the iterations are erosionIterations.
    int sedimentRain = 10;          ///< millimetres per iteration
    int sedimentErosion = 20;       ///< erosion strength
    int sedimentDeposition = 50;    ///< × 0.01 per metre
    int sedimentCapacity = 100;     ///< × 0.01
    int sedimentEvaporation = 10;   ///< × 0.0001 per metre
    int sedimentMinSlope = 0;       ///< × 0.001
    int sedimentSeed = 1;
    int terrainSizeExponent = 2;   ///< the terrain-size slider: 10^value
    int terrainSize = 100;         ///< the terrain-size field (scene units), normally 10^terrainSizeExponent
    int elevationLow = 0;
    int elevationHigh = 15;

    ErosionType erosion() const { return ErosionType(erosionType); }

    bool operator==(const FinalSettings &) const = default;
};

/// The whole graph: INPUT 1 and 2, DEFORMER 1 and 2, the COMBINER and the final node.
struct NoiseSettings {
    GeneratorSettings input[2];
    DeformerSettings deformer[2];
    CombinerSettings combiner;
    FinalSettings final;

    bool operator==(const NoiseSettings &) const = default;
};

}   // namespace orovista
