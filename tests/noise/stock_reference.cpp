// stock_reference.cpp

#include "stock_reference.h"

#include <libnoise/module/checkerboard.h>
#include <libnoise/module/ridgedmulti.h>

double StockCheckerboardValue (double x, double y, double z)
{
  const noise::module::Checkerboard checkerboard;
  return checkerboard.GetValue (x, y, z);
}

double StockRidgedValue (const StockRidgedSettings& settings, double x, double y, double z)
{
  noise::module::RidgedMulti ridged;
  ridged.SetFrequency (settings.frequency);
  ridged.SetLacunarity (settings.lacunarity);
  ridged.SetNoiseQuality (settings.quality);
  ridged.SetOctaveCount (settings.octaves);
  ridged.SetSeed (settings.seed);
  return ridged.GetValue (x, y, z);
}
