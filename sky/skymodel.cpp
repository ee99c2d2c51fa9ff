#include "sky/skymodel.h"

#include <algorithm>
#include <cmath>

namespace orovista::sky {

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double degreesToRadians = pi / 180.0;

/// The sun's light at one wavelength (micrometres) after air mass @a m and aerosol
/// coefficient @a beta.
double transmittance(double m, double beta, double lambda)
{
    return std::exp(-m * 0.008735 * std::pow(lambda, -4.08)) * std::exp(-m * beta * std::pow(lambda, -1.3));
}

double guarded(double value) { return value == 0.0 ? 0.001 : value; }

using Perez = SkyColorModel::Perez;

/// F(θ, γ) = (1 + A e^(B / cos θ)) × (1 + C e^(D γ) + E cos² γ), a zero cos θ taken as 0.001:
/// the first factor, which depends on the elevation only.
double perezThetaFactor(const Perez &p, double theta)
{
    const double cosTheta = guarded(std::cos(theta));
    return 1.0 + p.a * std::exp(p.b / cosTheta);
}

/// The second factor of F(θ, γ), given cos γ.
double perezGammaFactor(const Perez &p, double gamma, double cosGamma)
{
    return 1.0 + p.c * std::exp(p.d * gamma) + p.e * cosGamma * cosGamma;
}

/// F(0, θs) = (1 + A e^B) × (1 + C e^(D θs) + E cos² θs).
double perezAtZenith(const Perez &p, double thetaSun)
{
    const double cosSun = std::cos(thetaSun);
    return (1.0 + p.a * std::exp(p.b)) * (1.0 + p.c * std::exp(p.d * thetaSun) + p.e * cosSun * cosSun);
}

/// The exposure step: value v of (r, g, b) in HSV becomes 1 − e^(−0.001 v), hue and saturation
/// kept.
void expose(double &r, double &g, double &b)
{
    const double largest = std::max({r, g, b});
    const double smallest = std::min({r, g, b});
    const double delta = largest - smallest;
    double saturation = 0.0;
    double hue = -1.0;
    if (largest != 0.0) {
        saturation = delta / largest;
        if (delta != 0.0) {
            if (r == largest)
                hue = (g - b) / delta;
            else if (g == largest)
                hue = 2.0 + (b - r) / delta;
            else
                hue = 4.0 + (r - g) / delta;
            hue *= 60.0;
            if (hue < 0.0)
                hue += 360.0;
        } else {
            hue = 0.0;   // a grey of non-zero value: hue is meaningless, the saturation 0 decides
        }
    }
    const double v = 1.0 - std::exp(-0.001 * largest);
    if (saturation == 0.0) {
        r = g = b = v;
        return;
    }
    const double h = hue / 60.0;
    const int sector = int(std::floor(h)) % 6;
    const double f = h - std::floor(h);
    const double p = v * (1.0 - saturation);
    const double q = v * (1.0 - saturation * f);
    const double t = v * (1.0 - saturation * (1.0 - f));
    switch (sector) {
    case 0: r = v; g = t; b = p; break;
    case 1: r = q; g = v; b = p; break;
    case 2: r = p; g = v; b = t; break;
    case 3: r = p; g = q; b = v; break;
    case 4: r = t; g = p; b = v; break;
    default: r = v; g = p; b = q; break;
    }
}

float clamp01(double value) { return float(std::clamp(value, 0.0, 1.0)); }

}   // namespace

SkyParameters SkyParameters::defaults()
{
    SkyParameters sky;
    sky.updateSun();
    return sky;
}

SkyParameters SkyParameters::resetValues()
{
    SkyParameters sky;
    for (const SkySliderInfo &info : skySliders())
        setSlider(sky, info.slider, info.resetValue);
    sky.updateSun();
    return sky;
}

void SkyParameters::updateSun()
{
    const double thetaSun = (90.0 - double(sunPitch)) * pi / 180.0;
    const double beta = 0.04608366 * double(turbidity) - 0.04586026;
    const double airMass = 1.0 / (std::cos(thetaSun) + 0.15 * std::pow(93.885 - thetaSun / pi * 180.0, -1.253));
    sunRed = float(transmittance(airMass, beta, 0.65));
    sunGreen = float(transmittance(airMass, beta, 0.57));
    sunBlue = float(transmittance(airMass, beta, 0.475));
    sunMagnitude = std::sqrt((sunRed * sunRed + sunGreen * sunGreen + sunBlue * sunBlue) / 3.0f);
}

SkyRgb skyColor(const SkyParameters &sky, float elevation, float azimuth)
{
    return SkyColorModel(sky).colour(elevation, azimuth);
}

SkyColorModel::SkyColorModel(const SkyParameters &sky) : m_sky(sky)
{
    m_thetaSun = (90.0 - double(sky.sunPitch)) * pi / 180.0;
    m_sinSun = std::sin(m_thetaSun);
    m_cosSun = std::cos(m_thetaSun);
    m_phiSun = double(sky.sunAzimuth) * degreesToRadians;

    // Perez coefficients, scaled by the user's factors.
    const double t = sky.turbidity;
    const double kA = 1.0 + sky.horizonFactor, kB = 1.0 + sky.gradientFactor, kC = 1.0 + sky.solarIntensityFactor,
                 kD = 1.0 + sky.solarWidthFactor, kE = 1.0 + sky.backscatterFactor;
    m_perez[0] = {(0.17872 * t - 1.463) * kA, (0.42749 - 0.3554 * t) * kB, (5.32505 - 0.02266 * t) * kC,
                  (0.12064 * t - 2.57705) * kD, (0.37027 - 0.06696 * t) * kE};
    m_perez[1] = {(-0.01925 * t - 0.25922) * kA, (0.00081 - 0.06651 * t) * kB, (0.21247 - 0.00041 * t) * kC,
                  (-0.06409 * t - 0.89887) * kD, (0.04517 - 0.00325 * t) * kE};
    m_perez[2] = {(-0.01669 * t - 0.26078) * kA, (0.00921 - 0.09495 * t) * kB, (0.21023 - 0.00792 * t) * kC,
                  (-0.04405 * t - 1.65369) * kD, (0.05291 - 0.01092 * t) * kE};

    // Zenith values.
    const double s = m_thetaSun, s2 = s * s, s3 = s2 * s, t2 = t * t;
    const double chi = (4.0 / 9.0 - t / 120.0) * (pi - 2.0 * s);
    m_zenith[0] = ((4.0453 * t - 4.971) * std::tan(chi) - 0.2155 * t + 2.4192) * 1000.0;
    m_zenith[1] = t2 * (0.00166 * s3 - 0.00375 * s2 + 0.00209 * s) +
                  t * (0.06377 * s2 - 0.02903 * s3 - 0.03203 * s + 0.00394) +
                  (0.11693 * s3 - 0.21196 * s2 + 0.06052 * s + 0.25886);
    m_zenith[2] = t2 * (0.00275 * s3 - 0.0061 * s2 + 0.00317 * s) +
                  t * (0.0897 * s2 - 0.04214 * s3 - 0.04153 * s + 0.00516) +
                  (0.15346 * s3 - 0.26756 * s2 + 0.0667 * s + 0.26688);
    for (int k = 0; k < 3; ++k)
        m_denominator[k] = guarded(perezAtZenith(m_perez[k], m_thetaSun));
}

SkyColorModel::ElevationTerms SkyColorModel::elevationTerms(float elevation) const
{
    // Below the horizon the horizon's colour, faded; the lift keeps the horizon ring off the
    // Perez model's singular cos θ = 0.
    ElevationTerms terms;
    double e = elevation;
    terms.fade = 1.0;
    if (e < 0.0) {
        const double c = std::cos(e * degreesToRadians);
        terms.fade = std::abs(c * c);
        e = 0.0;
    }
    e += 360.0 / 127.0;
    e = std::min(e, 90.0);
    // The view's zenith angle.
    const double theta = (90.0 - e) * pi / 180.0;
    terms.sinTheta = std::sin(theta);
    terms.cosTheta = std::cos(theta);
    for (int k = 0; k < 3; ++k)
        terms.thetaFactor[k] = perezThetaFactor(m_perez[k], theta);
    return terms;
}

SkyRgb SkyColorModel::colour(const ElevationTerms &terms, float azimuth) const
{
    // The angle between view and sun.
    const double phi = double(azimuth) * 0.017453292;
    const double cosGamma = terms.sinTheta * m_sinSun * std::cos(m_phiSun - phi) + terms.cosTheta * m_cosSun;
    const double gamma = cosGamma > 1.0 ? 0.0 : cosGamma < -1.0 ? pi : std::acos(cosGamma);
    const double cosOfGamma = std::cos(gamma);

    // The distribution: zenith value × F(θ, γ) / F(0, θs) for Y, x and y.
    const auto perez = [&](int k) {
        return terms.thetaFactor[k] * perezGammaFactor(m_perez[k], gamma, cosOfGamma);
    };
    const double luminance = m_zenith[0] * perez(0) / m_denominator[0];
    const double x = m_zenith[1] * perez(1) / m_denominator[1];
    const double y = guarded(m_zenith[2] * perez(2) / m_denominator[2]);

    // xyY → XYZ → linear RGB.
    const double bigX = luminance * x / y;
    const double bigZ = luminance * (1.0 - x - y) / y;
    double r = 3.240479 * bigX - 1.53715 * luminance - 0.49853 * bigZ;
    double g = -0.969256 * bigX + 1.875991 * luminance + 0.041556 * bigZ;
    double b = 0.055648 * bigX - 0.204043 * luminance + 1.057311 * bigZ;

    expose(r, g, b);

    // The sun's brightness, the fade, the gains and a little lift of red and green.
    const double k = double(m_sky.sunMagnitude) * terms.fade;
    return {clamp01((k * r + 0.1) * m_sky.redGain), clamp01(k * g * m_sky.greenGain + 0.075),
            clamp01(k * b * m_sky.blueGain)};
}

const std::array<SkySliderInfo, skySliderCount> &skySliders()
{
    static const std::array<SkySliderInfo, skySliderCount> sliders = {{
        {SkySlider::SunPitch, "glSunPitchSlider", 0, 90, 60, 60, 1.0f, "sun pitch: ", true, nullptr},
        {SkySlider::SunAzimuth, "glSunAzimuthSlider", 0, 360, 0, 0, 1.0f, "sun azimuth: ", true, nullptr},
        {SkySlider::RedGain, "glrSkyMxSlider", 0, 30, 13, 13, 0.1f, "red gamma: ", false, nullptr},
        {SkySlider::GreenGain, "glgSkyMxSlider", 0, 30, 13, 13, 0.1f, "green gamma: ", false, nullptr},
        {SkySlider::BlueGain, "glbSkyMxSlider", 0, 30, 12, 13, 0.1f, "blue gamma: ", false, nullptr},
        {SkySlider::Turbidity, "TurbiditySlider", 0, 1000, 200, 200, 0.01f, "turbidity: ", false, "turbidity: 2.0"},
        {SkySlider::HorizonBrightness, "glHorizonBrightnessSlider", -100, 100, 0, 0, 0.01f, "horizon luminance: ",
         false, "horizon luminance: 0.0"},
        {SkySlider::HorizonLuminanceGradient, "glHorizonLuminanceGradientSlider", 0, 250, 0, 0, 0.1f,
         "horizon darkness: ", false, "horizon darkness: 0.0"},
        {SkySlider::SolarRegionIntensity, "glSolarRegionIntensitySlider", 0, 100, 15, 15, 0.1f,
         "solar region intensity: ", false, "solar region intensity: 1.5"},
        {SkySlider::SolarRegionWidth, "glSolarRegionWidthSlider", 0, 100, 0, 0, 0.1f, "solar region width: ", false,
         "solar region width: 0.0"},
        {SkySlider::BackscatterLight, "glBackscatterLightSlider", -100, 100, 0, 0, 0.1f, "backscatter light: ", false,
         "backscatter light: 0.0"},
        {SkySlider::StarIntensity, "glStarIntensitySlider", 0, 100, 100, 100, 1.0f, "star intensity: ", false, nullptr},
        {SkySlider::StarPopulation, "glStarPopulationSlider", 0, 30000, 3000, 3000, 1.0f, "star population: ", false,
         nullptr},
    }};
    return sliders;
}

const SkySliderInfo &skySliderInfo(SkySlider slider) { return skySliders()[std::size_t(slider)]; }

namespace {
float *floatField(SkyParameters &sky, SkySlider slider)
{
    switch (slider) {
    case SkySlider::SunPitch: return &sky.sunPitch;
    case SkySlider::SunAzimuth: return &sky.sunAzimuth;
    case SkySlider::RedGain: return &sky.redGain;
    case SkySlider::GreenGain: return &sky.greenGain;
    case SkySlider::BlueGain: return &sky.blueGain;
    case SkySlider::Turbidity: return &sky.turbidity;
    case SkySlider::HorizonBrightness: return &sky.horizonFactor;
    case SkySlider::HorizonLuminanceGradient: return &sky.gradientFactor;
    case SkySlider::SolarRegionIntensity: return &sky.solarIntensityFactor;
    case SkySlider::SolarRegionWidth: return &sky.solarWidthFactor;
    case SkySlider::BackscatterLight: return &sky.backscatterFactor;
    default: return nullptr;
    }
}
}   // namespace

void setSlider(SkyParameters &sky, SkySlider slider, int value)
{
    const SkySliderInfo &info = skySliderInfo(slider);
    value = std::clamp(value, info.minimum, info.maximum);
    if (slider == SkySlider::StarIntensity)
        sky.starIntensity = value;
    else if (slider == SkySlider::StarPopulation)
        sky.starPopulation = value;
    else
        // Tenths and hundredths divided in double: a slider at 13 gives 1.3f itself, the value
        // the parameters start with, not 13 × 0.1f one step above it.
        *floatField(sky, slider) = info.scale < 1.0f ? float(double(value) / std::round(1.0 / double(info.scale)))
                                                     : float(value) * info.scale;
}

int sliderValue(const SkyParameters &sky, SkySlider slider)
{
    if (slider == SkySlider::StarIntensity)
        return sky.starIntensity;
    if (slider == SkySlider::StarPopulation)
        return sky.starPopulation;
    const SkySliderInfo &info = skySliderInfo(slider);
    SkyParameters copy = sky;
    return int(std::lround(*floatField(copy, slider) / info.scale));
}

QString sliderLabel(SkySlider slider, int value)
{
    const SkySliderInfo &info = skySliderInfo(slider);
    if (*info.labelPrefix == '\0')
        return {};
    SkyParameters sky;
    setSlider(sky, slider, value);
    const double shown = slider == SkySlider::StarIntensity    ? sky.starIntensity
                         : slider == SkySlider::StarPopulation ? sky.starPopulation
                                                               : double(*floatField(sky, slider));
    QString label = QString::fromLatin1(info.labelPrefix) + QString::number(shown, 'g', 6);
    if (slider == SkySlider::StarIntensity)
        label += QLatin1Char('%');
    if (info.degreeSign)
        label += QChar(0x00B0);
    return label;
}

QString sliderResetLabel(SkySlider slider)
{
    const SkySliderInfo &info = skySliderInfo(slider);
    return info.resetLabel ? QString::fromLatin1(info.resetLabel) : sliderLabel(slider, info.resetValue);
}

}   // namespace orovista::sky
