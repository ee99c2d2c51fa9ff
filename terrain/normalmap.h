#pragma once
// Normal maps of the final height map: the preview thumbnail "NMapFFnoisePreviewThumb.jpg" shown
// in the CREATE tab while the bump height is adjusted, and the final "NormalMap_<name>.jpg" of a
// scene. The pixels come from the normal-map renderer; this part chooses the resolution, decides
// whether the noise machine must run again at that resolution, scales the bump height and writes
// the files.
#include <QString>

namespace noise::utils {
class NoiseMap;
}

namespace orovista {

namespace files {
class Batch;
}

/// Factor keeping the relief comparable across resolutions: 512 → 1, 1024 → 2, 2048 → 4,
/// 4096 → 8, 8192 → 16, 16384 → 32, any other resolution → 1.
int normalMapSizeFactor(int resolution);

/// Bump height = slider value / 100 × size factor (the default slider, 1000, gives 10 × factor).
double normalMapBumpHeight(int sliderValue, int resolution);

/// The bump slider, preview label and generate button are shown from size index 1 on.
bool normalMapControlsVisible(int sizeIndex);

/// "NMapFFnoisePreviewThumb.jpg".
QString normalMapThumbnailName();
/// "NormalMap_" + terrain name + ".jpg".
QString finalNormalMapName(const QString &terrainName);

/// What the window's controls say, read by the GUI.
struct NormalMapControls {
    int sizeIndex = 0;           ///< normalMapSizeComboBox index; 0 = "no thanks"
    QString sizeText;            ///< its current text ("512" … "16384")
    QString textureSizeText;     ///< createDAZTerrainTextureSizeComboBox's current text
    int previewResolution = 256; ///< the final node's preview size slider × 256
};

/// What one generateFinalNormalMap(isFinal, manualUpdate) has to do.
struct NormalMapPlan {
    bool run = false;            ///< false: stop here (restoring the greyscale map flag)
    bool isFinal = false;        ///< write the final file (else the thumbnail)
    int resolution = 0;          ///< N: the resolution the map is computed at
    bool rerunPipeline = false;  ///< run the noise machine at N (terrainCreated false, fullOctaves true) first
    QString logLine;             ///< written to the run log before re-running; empty otherwise
};

/// The re-run rules. isFinal false: N = the preview resolution. isFinal true: stop at size
/// index 0, else N = the size text. A non-positive N stops. The machine re-runs at N when
/// manualUpdate is set ("manual updated of normal map\n"), or for a final map whose N differs
/// from the texture size ("create normal map from scratch\n"); otherwise the current height map
/// is used as it is.
NormalMapPlan planNormalMap(bool isFinal, bool manualUpdate, const NormalMapControls &controls);

/// Result of writing a normal map.
struct NormalMapOutput {
    bool written = false;
    QString path;            ///< the file written (or that could not be written)
    QString thumbnailPath;   ///< the thumbnail the preview label loads afterwards
    double bumpHeight = 0.0;
    QString error;           ///< why nothing was written; empty on success
};

/// Renders the normal map of @a map (its own size) with @a bumpHeight and writes it as a JPG at
/// quality 100 to @a path (map row y goes to picture row height − 1 − y), or stages it in
/// @a batch, which puts it in place. Never throws.
NormalMapOutput writeNormalMap(const noise::utils::NoiseMap &map, double bumpHeight, const QString &path,
                               files::Batch *batch = nullptr);

/// The file step of generateFinalNormalMap(): bump height from the slider and plan.resolution,
/// then the thumbnail, or for a final plan "NormalMap_<name>.jpg", in @a mapsFolder. A terrain
/// name holding a path separator is refused (nothing is written). With @a batch the file is
/// staged there.
NormalMapOutput renderNormalMapFile(const noise::utils::NoiseMap &map, const NormalMapPlan &plan, int bumpSlider,
                                    const QString &mapsFolder, const QString &terrainName,
                                    files::Batch *batch = nullptr);

}   // namespace orovista
