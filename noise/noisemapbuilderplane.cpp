// noisemapbuilderplane.cpp

#include "noise/noisemapbuilderplane.h"

#include <libnoise/exception.h>

#include <cmath>

namespace noise
{

  namespace utils
  {

    PlaneMapBuilder::~PlaneMapBuilder () = default;

    void PlaneMapBuilder::SetDestSize (int destWidth, int destHeight)
    {
      if (destWidth < 0 || destHeight < 0) {
        throw noise::ExceptionInvalidParam ();
      }
      m_destWidth = destWidth;
      m_destHeight = destHeight;
    }

    void PlaneMapBuilder::SetBounds (double lowerX, double upperX, double lowerZ,
      double upperZ)
    {
      if (!(lowerX < upperX) || !(lowerZ < upperZ) || !std::isfinite (lowerX)
        || !std::isfinite (upperX) || !std::isfinite (lowerZ)
        || !std::isfinite (upperZ)) {
        throw noise::ExceptionInvalidParam ();
      }
      m_lowerX = lowerX;
      m_upperX = upperX;
      m_lowerZ = lowerZ;
      m_upperZ = upperZ;
    }

    void PlaneMapBuilder::Validate () const
    {
      if (!(m_lowerX < m_upperX) || !(m_lowerZ < m_upperZ) || m_destWidth < 1
        || m_destHeight < 1 || m_destWidth > RASTER_MAX_SIZE
        || m_destHeight > RASTER_MAX_SIZE || m_destNoiseMap == nullptr
        || !HasSource ()) {
        throw noise::ExceptionInvalidParam ();
      }
    }

    void PlaneMapBuilder::Run ()
    {
      m_destNoiseMap->SetSize (m_destWidth, m_destHeight);
      m_xStep = (m_upperX - m_lowerX) / m_destWidth;
      m_zStep = (m_upperZ - m_lowerZ) / m_destHeight;
      FillMap (*m_destNoiseMap);
    }

    void PlaneMapBuilder::Build ()
    {
      Validate ();
      Run ();
    }

    void PlaneMapBuilder::Build (int node)
    {
      Validate ();
      ProgressReporter& reporter = m_reporter ? *m_reporter : ProgressReporter::Null ();
      const QString step = QString::number (node) + QStringLiteral ("/9");
      reporter.SetPanelText (QStringLiteral ("computing noise ... \n\nnode: ") + step);
      reporter.SetStatusText (QStringLiteral ("computing noise ... node: ") + step);
      reporter.ProcessEvents ();
      reporter.CheckCancelled ();
      Validate ();
      Run ();
      reporter.SetStatusText (QStringLiteral ("noise maps generated"));
    }

    void PlaneMapBuilder::SampleRow (const noise::module::Module& module, float* row,
      int y, int firstColumn, int endColumn) const
    {
      const double z = m_lowerZ + y * m_zStep;
      for (int x = firstColumn; x < endColumn; ++x) {
        row[x] = static_cast<float> (module.GetValue (m_lowerX + x * m_xStep, 0.0, z));
      }
    }

    void NoiseMapBuilderPlane::FillMap (NoiseMap& map)
    {
      for (int y = 0; y < map.GetHeight (); ++y) {
        SampleRow (*m_sourceModule, map.GetSlabPtr (y), y, 0, map.GetWidth ());
        RowDone (y);
      }
    }

  }

}
