#pragma once
// The daylight sky model: the sky's settings as the window's sliders give them, the sun's colour
// and the colour of the sky in any direction.
//
// The model is the turbidity-based analytic daylight sky of Preetham, Shirley and Smits: a Perez
// distribution for luminance Y and chromaticity x, y, zenith values from turbidity and sun
// angle, CIE xyY to linear RGB. Five user factors scale the Perez coefficients (horizon,
// gradient, solar region intensity and width, backscatter), an exposure curve maps the
// luminance into 0 … 1 and per-channel gains tint the result.
//
// Limits: the model describes clear daylight skies; it knows no night (a low sun only darkens
// the sky through the sun's colour) and no ground: directions below the horizon take the
// horizon's colour, dimmed. Turbidities below about 2 leave the range the fit was made for and
// give plausible rather than physical colours.
#include <QString>

#include <array>

namespace orovista::sky {

/// The sun pitch at or below which stars show, in degrees.
inline constexpr float starThresholdPitch = 20.0f;

/// The settings of the sky and the values derived from them.
///
/// Every field is in the model's own units (degrees, gains, turbidity); the sliders' integer
/// units convert through setSlider(). After changing the sun pitch or the turbidity call
/// updateSun() before asking for colours.
struct SkyParameters {
    float sunPitch = 60.0f;              ///< p, degrees above the horizon, 0 … 90
    float sunAzimuth = 0.0f;             ///< a, degrees, 0 … 360
    float redGain = 1.3f;                ///< gR
    float greenGain = 1.3f;              ///< gG
    float blueGain = 1.2f;               ///< gB (the reset value is 1.3)
    float turbidity = 2.0f;              ///< T, 0 … 10
    float horizonFactor = 0.0f;          ///< kA, on the Perez A coefficients
    float gradientFactor = 0.0f;         ///< kB, on B
    float solarIntensityFactor = 1.5f;   ///< kC, on C
    float solarWidthFactor = 0.0f;       ///< kD, on D
    float backscatterFactor = 0.0f;      ///< kE, on E
    int starIntensity = 100;             ///< 0 … 100
    int starPopulation = 3000;           ///< stars in the dome's star table, 0 … 30000

    // Derived by updateSun().
    float sunRed = 0.0f;
    float sunGreen = 0.0f;
    float sunBlue = 0.0f;
    float sunMagnitude = 0.0f;           ///< m = √((r² + g² + b²) / 3)

    /// The values the program starts with, sun already updated.
    static SkyParameters defaults();
    /// The values the sky reset button sets, sun already updated. They differ from the
    /// start-up values in the blue gain only (1.3 instead of 1.2).
    static SkyParameters resetValues();

    /// Recomputes the sun's colour and magnitude from the pitch and the turbidity: the sun's
    /// light after the air mass of its elevation (Rayleigh and aerosol extinction at 650, 570
    /// and 475 nm).
    void updateSun();

    /// Whether stars are drawn: the sun at or below the star threshold and a population.
    bool showsStars() const { return sunPitch <= starThresholdPitch && starPopulation > 0; }
};

/// A colour of the sky, each channel in 0 … 1.
struct SkyRgb {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    bool operator==(const SkyRgb &) const = default;
};

/// The colour of the sky at @a elevation and @a azimuth (degrees) under @a sky, whose sun must
/// be up to date. Below the horizon the horizon's colour is used, dimmed by cos² of the true
/// elevation. Pure: the same arguments give the same bits on every thread.
SkyRgb skyColor(const SkyParameters &sky, float elevation, float azimuth);

/// The sky model for one set of parameters, with everything that does not depend on the
/// direction (Perez coefficients, zenith values, the sun's terms) worked out once: for pictures
/// and meshes that ask for many directions. colour() gives exactly skyColor()'s bits.
class SkyColorModel {
public:
    explicit SkyColorModel(const SkyParameters &sky);
    SkyRgb colour(float elevation, float azimuth) const { return colour(elevationTerms(elevation), azimuth); }

    /// What a direction's colour takes from its elevation alone: worked out once for a row of a
    /// picture, whose pixels share the elevation. colour(elevationTerms(e), a) is colour(e, a).
    struct ElevationTerms {
        double fade;             ///< 1 above the horizon, cos² of the elevation below
        double sinTheta, cosTheta;
        double thetaFactor[3];   ///< 1 + A e^(B / cos θ) of Y, x and y
    };
    ElevationTerms elevationTerms(float elevation) const;
    SkyRgb colour(const ElevationTerms &terms, float azimuth) const;

    /// One row of the Perez table: A … E of one of Y, x, y.
    struct Perez {
        double a, b, c, d, e;
    };

private:
    SkyParameters m_sky;
    double m_thetaSun, m_sinSun, m_cosSun, m_phiSun;
    Perez m_perez[3];        ///< Y, x, y
    double m_zenith[3];      ///< Yz, xz, yz
    double m_denominator[3]; ///< F(0, θs), a zero taken as 0.001
};

/// The window's sky sliders.
enum class SkySlider {
    SunPitch,
    SunAzimuth,
    RedGain,
    GreenGain,
    BlueGain,
    Turbidity,
    HorizonBrightness,
    HorizonLuminanceGradient,
    SolarRegionIntensity,
    SolarRegionWidth,
    BackscatterLight,
    StarIntensity,
    StarPopulation,
};
inline constexpr int skySliderCount = 13;

/// One slider: its object name, range, start-up and reset positions, how a position converts
/// into the parameter, and its label ("" for the star sliders, which have none).
struct SkySliderInfo {
    SkySlider slider;
    const char *objectName;
    int minimum;
    int maximum;
    int startValue;
    int resetValue;
    float scale;             ///< parameter = position × scale
    const char *labelPrefix; ///< "sun pitch: " …; empty when the slider has no label
    bool degreeSign;         ///< the label ends in the degree sign
    const char *resetLabel;  ///< the label's text after reset, when it differs from label()
};

/// Every sky slider, in the order of SkySlider.
const std::array<SkySliderInfo, skySliderCount> &skySliders();
const SkySliderInfo &skySliderInfo(SkySlider slider);

/// Sets the slider's parameter from position @a value (clamped to the slider's range). Does not
/// update the sun.
void setSlider(SkyParameters &sky, SkySlider slider, int value);
/// The slider position that gives the parameter's current value.
int sliderValue(const SkyParameters &sky, SkySlider slider);

/// The label for position @a value: prefix + the parameter in the shortest general format of up
/// to 6 significant digits (+ the degree sign); empty for the star sliders.
QString sliderLabel(SkySlider slider, int value);
/// The label the reset button leaves ("turbidity: 2.0", "solar region intensity: 1.5", …).
QString sliderResetLabel(SkySlider slider);

}   // namespace orovista::sky
