// maprenderer.cpp

#include "noise/maprenderer.h"

#include <libnoise/exception.h>

namespace noise
{

  namespace utils
  {

    MapRenderer::~MapRenderer () = default;

    const NoiseMap& MapRenderer::PrepareRender (bool settingsValid)
    {
      if (!settingsValid || m_sourceNoiseMap == nullptr || m_destImage == nullptr
        || m_sourceNoiseMap->GetWidth () < 1 || m_sourceNoiseMap->GetHeight () < 1) {
        throw noise::ExceptionInvalidParam ();
      }
      m_destImage->SetSize (m_sourceNoiseMap->GetWidth (), m_sourceNoiseMap->GetHeight ());
      return *m_sourceNoiseMap;
    }

  }

}
