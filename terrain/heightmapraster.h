#pragma once
// The parts of the heightmap import that need neither GDAL nor OpenEXR: the 16-bit PNG and RAW
// readers, the checks and no-data filling every reader ends with, and the resampling. Shared by
// heightmapimport.cpp and the PNG/RAW fuzzer; not for use elsewhere.
#include "terrain/heightmapimport.h"

namespace orovista::heightmapdetail {

bool fail(QString *error, const QString &message);

/// Why a raster of this size is not read; empty when it is.
QString sizeProblem(long long width, long long height);

/// What the exporter's sidecar NAME.json beside a heightmap says.
struct Sidecar {
    bool present = false;
    double metresAt0 = 0.0, metresAt65535 = 0.0;
    double terrainSize = 0.0;
    int size = 0;
};

/// A raster as read, before the common checks.
struct Raw {
    int width = 0, height = 0;
    std::vector<float> values;
    std::vector<unsigned char> known;   ///< empty: every cell holds a value
    bool georeferenced = false;
    double pixelX = 1.0, pixelY = 1.0;   ///< metres per pixel when georeferenced
    double sizeFromFile = 0.0;           ///< a sidecar's terrain size; 0 for none
    QString format;
    QStringList notes;
};

/// The checks, no-data filling and the square every reader ends with.
bool finish(Raw &raw, const HeightmapReadOptions &options, Heightmap *out, QString *error);

bool readPng(const QByteArray &bytes, const HeightmapReadOptions &options, const Sidecar &sidecar, Heightmap *out,
             QString *error);
bool readRaw16(const QByteArray &bytes, const HeightmapReadOptions &options, const Sidecar &sidecar, Heightmap *out,
               QString *error);

}   // namespace orovista::heightmapdetail
