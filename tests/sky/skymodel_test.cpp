// The sky model: sun colour, sky colours worked out by hand from the model's formulas, the
// horizon and below it, the sliders and their labels, the dome mesh.
#include "sky/skydome.h"
#include "sky/skymodel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>

namespace {

using namespace orovista::sky;

void expectColour(const SkyRgb &c, double r, double g, double b, const char *where)
{
    EXPECT_NEAR(c.r, r, 2e-5) << where;
    EXPECT_NEAR(c.g, g, 2e-5) << where;
    EXPECT_NEAR(c.b, b, 2e-5) << where;
}

TEST(SkyModel, SunColourFollowsPitchAndTurbidity)
{
    SkyParameters sky = SkyParameters::defaults();   // pitch 60, turbidity 2
    EXPECT_NEAR(sky.sunRed, 0.859029, 1e-5);
    EXPECT_NEAR(sky.sunGreen, 0.809948, 1e-5);
    EXPECT_NEAR(sky.sunBlue, 0.704196, 1e-5);
    EXPECT_NEAR(sky.sunMagnitude, 0.793691, 1e-5);

    sky.sunPitch = 10.0f;
    sky.turbidity = 5.0f;
    sky.updateSun();
    EXPECT_NEAR(sky.sunRed, 0.124222, 1e-5);
    EXPECT_NEAR(sky.sunBlue, 0.0240638, 1e-5);
    EXPECT_NEAR(sky.sunMagnitude, 0.0842457, 1e-5);
    EXPECT_GT(sky.sunRed, sky.sunGreen) << "a low sun in hazy air is red";
    EXPECT_GT(sky.sunGreen, sky.sunBlue);
}

TEST(SkyModel, ColoursAgreeWithTheFormulasWorkedByHand)
{
    const SkyParameters sky = SkyParameters::defaults();
    expectColour(skyColor(sky, 90.0f, 0.0f), 0.505565, 0.624168, 0.952415, "zenith");
    expectColour(skyColor(sky, 30.0f, 0.0f), 0.605124, 0.701689, 0.952430, "towards the sun");
    expectColour(skyColor(sky, 10.0f, 180.0f), 0.336851, 0.601496, 0.952423, "away from the sun");
    expectColour(skyColor(sky, 45.0f, 90.0f), 0.391310, 0.558749, 0.952401, "side");
    expectColour(skyColor(sky, 0.0f, 45.0f), 0.864413, 0.833778, 0.952429, "horizon");

    // Every factor, gain and the sun moved away from their defaults.
    SkyParameters odd = sky;
    odd.sunPitch = 15.0f;
    odd.sunAzimuth = 200.0f;
    odd.turbidity = 5.0f;
    odd.horizonFactor = 0.5f;
    odd.gradientFactor = 1.0f;
    odd.solarIntensityFactor = 0.0f;
    odd.solarWidthFactor = 2.0f;
    odd.backscatterFactor = -3.0f;
    odd.redGain = 1.0f;
    odd.greenGain = 2.0f;
    odd.blueGain = 3.0f;
    odd.updateSun();
    expectColour(skyColor(odd, 20.0f, 200.0f), 0.275254, 0.348444, 0.262382, "changed sky");
}

TEST(SkyModel, ColoursAreClampedAndFiniteEverywhere)
{
    SkyParameters sky = SkyParameters::defaults();
    for (int pitch : {0, 20, 90})
        for (int turbidity : {0, 200, 1000})
            for (int factor : {-100, 100}) {
                setSlider(sky, SkySlider::SunPitch, pitch);
                setSlider(sky, SkySlider::Turbidity, turbidity);
                setSlider(sky, SkySlider::BackscatterLight, factor);
                setSlider(sky, SkySlider::HorizonBrightness, factor);
                setSlider(sky, SkySlider::RedGain, 30);
                sky.updateSun();
                for (float e = -90.0f; e <= 90.0f; e += 7.5f)
                    for (float a = 0.0f; a < 360.0f; a += 45.0f) {
                        const SkyRgb c = skyColor(sky, e, a);
                        for (float v : {c.r, c.g, c.b})
                            ASSERT_TRUE(v >= 0.0f && v <= 1.0f) << pitch << " " << turbidity << " " << e << " " << a;
                    }
            }
}

TEST(SkyModel, BelowTheHorizonIsTheHorizonDimmedByCosSquared)
{
    SkyParameters sky = SkyParameters::defaults();
    sky.redGain = sky.greenGain = sky.blueGain = 0.5f;   // keep the horizon below the clamp
    const SkyRgb horizon = skyColor(sky, 0.0f, 45.0f);
    for (float e : {-10.0f, -30.0f, -60.0f}) {
        const double c2 = std::cos(e * M_PI / 180.0) * std::cos(e * M_PI / 180.0);
        const SkyRgb below = skyColor(sky, e, 45.0f);
        // The fade scales the sun's part; red keeps its lift of 0.1 × gain, green its 0.075.
        EXPECT_NEAR(below.r - 0.05, (horizon.r - 0.05) * c2, 1e-5) << e;
        EXPECT_NEAR(below.g - 0.075, (horizon.g - 0.075) * c2, 1e-5) << e;
        EXPECT_NEAR(below.b, horizon.b * c2, 1e-5) << e;
    }
    expectColour(skyColor(SkyParameters::defaults(), -30.0f, 45.0f), 0.680810, 0.644083, 0.714322, "below, by hand");
}

TEST(SkyModel, ZenithIsTheSameInEveryAzimuth)
{
    SkyParameters sky = SkyParameters::defaults();
    sky.sunAzimuth = 123.0f;
    const SkyRgb zenith = skyColor(sky, 90.0f, 0.0f);
    for (float a = 0.0f; a < 360.0f; a += 1.40625f)
        ASSERT_EQ(skyColor(sky, 90.0f, a), zenith) << a;
    // Just below the zenith the lift of the low rings already reaches 90°.
    EXPECT_EQ(skyColor(sky, 88.0f, 77.0f), zenith);
}

TEST(SkySliders, RangesDefaultsAndConversions)
{
    const SkyParameters start = SkyParameters::defaults();
    for (const SkySliderInfo &info : skySliders()) {
        EXPECT_EQ(sliderValue(start, info.slider), info.startValue) << info.objectName;
        // A slider set to its start value gives the start parameters bit for bit (13 → 1.3f, not
        // 13 × 0.1f), so a sky kept as slider values comes back the same.
        SkyParameters set = start;
        setSlider(set, info.slider, info.startValue);
        set.updateSun();
        EXPECT_EQ(std::memcmp(&set, &start, sizeof set), 0) << info.objectName;
        EXPECT_LE(info.minimum, info.startValue);
        EXPECT_GE(info.maximum, info.startValue);
    }
    SkyParameters sky;
    setSlider(sky, SkySlider::Turbidity, 1000);
    EXPECT_FLOAT_EQ(sky.turbidity, 10.0f);
    setSlider(sky, SkySlider::HorizonBrightness, -100);
    EXPECT_FLOAT_EQ(sky.horizonFactor, -1.0f);
    setSlider(sky, SkySlider::HorizonLuminanceGradient, 250);
    EXPECT_FLOAT_EQ(sky.gradientFactor, 25.0f);
    setSlider(sky, SkySlider::BackscatterLight, -100);
    EXPECT_FLOAT_EQ(sky.backscatterFactor, -10.0f);
    setSlider(sky, SkySlider::StarPopulation, 40000);
    EXPECT_EQ(sky.starPopulation, 30000) << "clamped to the slider's range";
    setSlider(sky, SkySlider::SunPitch, -5);
    EXPECT_EQ(sky.sunPitch, 0.0f);
}

TEST(SkySliders, ResetDiffersFromStartUpInTheBlueGainOnly)
{
    const SkyParameters reset = SkyParameters::resetValues();
    const SkyParameters start = SkyParameters::defaults();
    EXPECT_FLOAT_EQ(reset.blueGain, 1.3f);
    EXPECT_FLOAT_EQ(start.blueGain, 1.2f);
    EXPECT_FLOAT_EQ(reset.redGain, 1.3f);
    EXPECT_FLOAT_EQ(reset.turbidity, 2.0f);
    EXPECT_FLOAT_EQ(reset.solarIntensityFactor, 1.5f);
    EXPECT_EQ(reset.starIntensity, 100);
    EXPECT_EQ(reset.starPopulation, 3000);
    EXPECT_FLOAT_EQ(reset.sunMagnitude, start.sunMagnitude) << "the sun is updated";

    SkyParameters moved = reset;
    setSlider(moved, SkySlider::SunPitch, 5);
    setSlider(moved, SkySlider::BlueGain, 30);
    moved = SkyParameters::resetValues();
    EXPECT_FLOAT_EQ(moved.sunPitch, 60.0f);
}

TEST(SkySliders, Labels)
{
    const QString degree(QChar(0x00B0));
    EXPECT_EQ(sliderLabel(SkySlider::SunPitch, 60), "sun pitch: 60" + degree);
    EXPECT_EQ(sliderLabel(SkySlider::SunAzimuth, 359), "sun azimuth: 359" + degree);
    EXPECT_EQ(sliderLabel(SkySlider::RedGain, 13), "red gamma: 1.3") << "a gain, not an angle";
    EXPECT_EQ(sliderLabel(SkySlider::BlueGain, 12), "blue gamma: 1.2");
    EXPECT_EQ(sliderLabel(SkySlider::Turbidity, 257), "turbidity: 2.57");
    EXPECT_EQ(sliderLabel(SkySlider::HorizonBrightness, -37), "horizon luminance: -0.37");
    EXPECT_EQ(sliderLabel(SkySlider::SolarRegionWidth, 100), "solar region width: 10");
    EXPECT_EQ(sliderLabel(SkySlider::StarPopulation, 12000), "star population: 12000");
    EXPECT_EQ(sliderLabel(SkySlider::StarIntensity, 75), "star intensity: 75%");

    EXPECT_EQ(sliderResetLabel(SkySlider::Turbidity), "turbidity: 2.0");
    EXPECT_EQ(sliderResetLabel(SkySlider::HorizonBrightness), "horizon luminance: 0.0");
    EXPECT_EQ(sliderResetLabel(SkySlider::HorizonLuminanceGradient), "horizon darkness: 0.0");
    EXPECT_EQ(sliderResetLabel(SkySlider::SolarRegionIntensity), "solar region intensity: 1.5");
    EXPECT_EQ(sliderResetLabel(SkySlider::SolarRegionWidth), "solar region width: 0.0");
    EXPECT_EQ(sliderResetLabel(SkySlider::BackscatterLight), "backscatter light: 0.0");
    EXPECT_EQ(sliderResetLabel(SkySlider::BlueGain), "blue gamma: 1.3");
}

TEST(SkySliders, StarsShowFromPitch20Down)
{
    SkyParameters sky;
    sky.sunPitch = 21.0f;
    EXPECT_FALSE(sky.showsStars());
    sky.sunPitch = 20.0f;
    EXPECT_TRUE(sky.showsStars());
    sky.starPopulation = 0;
    EXPECT_FALSE(sky.showsStars());
}

TEST(SkyDomeMesh, TablesAndVertices)
{
    EXPECT_FLOAT_EQ(tableSin(0.0f), 0.0f);
    EXPECT_FLOAT_EQ(tableCos(0.0f), 1.0f);
    EXPECT_NEAR(tableSin(float(M_PI / 2)), 1.0f, 1e-6);
    EXPECT_NEAR(tableCos(float(-M_PI / 3)), 0.5f, 2e-3) << "negative angles wrap";
    EXPECT_NEAR(tableSin(float(2 * M_PI + 0.5)), std::sin(0.5), 2e-3);

    SkyParameters sky = SkyParameters::defaults();
    sky.starPopulation = 0;
    SkyDome dome;
    dome.build(sky, 50.0f, true);
    ASSERT_EQ(dome.x().size(), 128u * 128u);
    EXPECT_TRUE(dome.stars().empty());
    EXPECT_FLOAT_EQ(dome.y()[SkyDome::index(0, 5)], 50.0f) << "ring 0 is the zenith";
    EXPECT_NEAR(dome.y()[SkyDome::index(64, 5)], 0.0f, 1e-4) << "ring 64 is the horizon";
    EXPECT_LT(dome.y()[SkyDome::index(127, 5)], -49.0f);
    EXPECT_EQ(dome.x()[SkyDome::index(40, 127)], dome.x()[SkyDome::index(40, 0)]) << "the last column closes the ring";
    EXPECT_EQ(dome.z()[SkyDome::index(40, 127)], dome.z()[SkyDome::index(40, 0)]);
    EXPECT_NE(dome.red()[SkyDome::index(40, 127)], dome.red()[SkyDome::index(40, 64)]);
    EXPECT_EQ(dome.red()[SkyDome::index(40, 127)], skyColor(sky, 90.0f - 40 * 1.40625f, 127 * 2.8125f).r)
        << "colours use the true azimuth";
    EXPECT_FLOAT_EQ(dome.haze()[0], 0.0f);
    EXPECT_NEAR(dome.haze()[127], 1.0 - std::exp(-0.025 * 127 * 1.40625), 1e-6);
    EXPECT_FLOAT_EQ(dome.ringBrightness(127, 0.0f), 1.0f) << "on the ground no haze darkens";
    EXPECT_LT(dome.ringBrightness(127, 20000.0f), dome.ringBrightness(10, 20000.0f));
}

TEST(SkyDomeMesh, StarsLieOnTheDomeAndKeepTheirTableUntilAskedForNew)
{
    SkyParameters sky = SkyParameters::defaults();
    sky.starPopulation = 2000;
    std::uint32_t state = 7;
    const RandomSource random = [&state] { state = state * 1103515245u + 12345u; return int((state >> 1) & 0x7fffffff); };
    SkyDome dome;
    dome.build(sky, 40.0f, true, random);
    ASSERT_EQ(dome.stars().size(), 2000u);
    std::set<int> sizes;
    int below = 0;
    for (const Star &s : dome.stars()) {
        EXPECT_NEAR(s.x * s.x + s.y * s.y + s.z * s.z, 1600.0f, 1e-2f);
        EXPECT_EQ(s.x, std::trunc(s.x));
        sizes.insert(s.size);
        below += s.y < 0.0f;
    }
    EXPECT_EQ(sizes, (std::set<int>{2, 3, 4}));
    EXPECT_GT(below, 700) << "about half below";
    EXPECT_LT(below, 1300);

    const std::vector<Star> before = dome.stars();
    sky.starPopulation = 10;
    dome.build(sky, 40.0f, false, random);
    EXPECT_EQ(dome.stars().size(), before.size()) << "a rebuild without new stars keeps the table";
    dome.build(sky, 0.0f, true, random);
    ASSERT_EQ(dome.stars().size(), 10u);
    EXPECT_EQ(dome.stars()[0].y, 0.0f) << "a dome of radius 0 puts its stars at the centre";
}

}   // namespace
