#pragma once
// The parts of the heightmap import that need neither GDAL nor OpenEXR: the 16-bit PNG and RAW
// readers, the checks and no-data filling every reader ends with, the progress of a read and the
// resampling. Shared by heightmapimport.cpp and the fuzzers; not for use elsewhere.
#include "terrain/heightmapimport.h"

namespace orovista::heightmapdetail {

bool fail(QString *error, const QString &message);

/// The error of a read the caller stopped through HeightmapReadOptions::keepGoing.
inline const QString stoppedError = QStringLiteral("stopped");

/// The caller's keepGoing over the stages of one read. Each stage is a part of the whole; the
/// fractions handed on rise from 0 to 1 and are given only when they have moved on by a
/// thousandth (and at the end), so that a fast reader costs the caller nothing. Once the caller
/// says stop every later question is answered false at once.
class ReadProgress {
public:
    explicit ReadProgress(const std::function<bool(double)> &keepGoing) : m_state(std::make_shared<State>(keepGoing)) {}
    /// The part of this stage from a to b (fractions of this stage).
    ReadProgress part(double a, double b) const;
    /// fraction (0 … 1) of this stage done; false when the caller asked to stop.
    bool at(double fraction) const;
    bool stopped() const { return m_state->stopped; }

private:
    struct State {
        explicit State(const std::function<bool(double)> &k) : keepGoing(k) {}
        const std::function<bool(double)> &keepGoing;
        double last = -1.0;
        bool stopped = false;
    };
    std::shared_ptr<State> m_state;
    double m_from = 0.0, m_to = 1.0;
};

/// Metres or a size for a message: whole below a billion, else three significant digits, so
/// that an absurd value in a file never becomes a line of hundreds of digits.
QString shortNumber(double value, int decimals = 0);

/// Why a raster of this size is not read; empty when it is.
QString sizeProblem(long long width, long long height, long long maximumSamples = maximumHeightmapSamples);

/// What the exporter's sidecar NAME.json beside a heightmap says.
struct Sidecar {
    bool present = false;
    double metresAt0 = 0.0, metresAt65535 = 0.0;
    double terrainSize = 0.0;
    int size = 0;
};

/// Room for the count samples a header announces: taken at once when a file of fileBytes could
/// plausibly hold them (64 samples a byte: well-compressed elevation models stay below that), else
/// as much and grown as the rows really arrive. A header that lies then costs no more than the
/// rows the file holds, and a true one is read without copying.
template <class T>
void reserveAnnounced(std::vector<T> &values, std::size_t count, long long fileBytes)
{
    values.reserve(std::min(count, std::size_t(std::max(fileBytes, 0LL)) * 64 + 4096));
}

/// A raster as read, before the common checks.
struct Raw {
    int width = 0, height = 0;
    std::vector<float> values;
    std::vector<unsigned char> known;   ///< empty: every cell holds a value
    bool georeferenced = false;
    double pixelX = 1.0, pixelY = 1.0;   ///< metres per pixel when georeferenced
    double sizeFromFile = 0.0;           ///< a sidecar's terrain size; 0 for none
    QString heightsFrom;                 ///< where the metres come from when not the file's values alone
    QString format;
    QStringList notes;
};

/// The checks, no-data filling and the square every reader ends with.
bool finish(Raw &raw, const HeightmapReadOptions &options, const ReadProgress &progress, Heightmap *out,
            QString *error);

/// A PNG through libpng, row by row: 16-bit grey as it is, any other picture by its grey levels.
bool readPng(const QByteArray &bytes, const HeightmapReadOptions &options, const Sidecar &sidecar,
             const ReadProgress &progress, Heightmap *out, QString *error);
bool readRaw16(const QByteArray &bytes, const HeightmapReadOptions &options, const Sidecar &sidecar,
               const ReadProgress &progress, Heightmap *out, QString *error);

}   // namespace orovista::heightmapdetail
