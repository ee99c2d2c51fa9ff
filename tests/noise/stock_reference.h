// stock_reference.h
//
// libnoise's own Checkerboard and RidgedMulti, reached through functions so
// that tests can compare them with the program's same-named modules (the
// two classes cannot be named in one file).

#ifndef OROVISTA_TESTS_NOISE_STOCK_REFERENCE_H
#define OROVISTA_TESTS_NOISE_STOCK_REFERENCE_H

#include <libnoise/noisegen.h>

struct StockRidgedSettings
{
  double frequency = 1.0;
  double lacunarity = 2.0;
  noise::NoiseQuality quality = noise::QUALITY_STD;
  int octaves = 6;
  int seed = 0;
};

double StockCheckerboardValue (double x, double y, double z);
double StockRidgedValue (const StockRidgedSettings& settings, double x, double y, double z);

#endif
