// noisemapbuilderplane.cpp

#include "noise/noisemapbuilderplane.h"

#include "noise/batchnoise.h"
#include "noise/rowbatch.h"

#include <libnoise/exception.h>

#include <cmath>
#include <vector>

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
      if (m_batch && endColumn - firstColumn > 1 && noise::batch::CanBatch (module)) {
        // A generator on its own: the whole row in one batch.
        const std::size_t count = static_cast<std::size_t> (endColumn - firstColumn);
        std::vector<double> xs (count), ys (count, 0.0), zs (count, z), values (count);
        for (std::size_t i = 0; i < count; ++i) {
          xs[i] = m_lowerX + (firstColumn + static_cast<int> (i)) * m_xStep;
        }
        noise::batch::GetValues (module, xs.data (), ys.data (), zs.data (), values.data (),
          count);
        for (std::size_t i = 0; i < count; ++i) {
          row[firstColumn + static_cast<int> (i)] = static_cast<float> (values[i]);
        }
        return;
      }
      for (int x = firstColumn; x < endColumn; ++x) {
        row[x] = static_cast<float> (module.GetValue (m_lowerX + x * m_xStep, 0.0, z));
      }
    }

    void PlaneMapBuilder::SampleRow (const noise::module::Module& module, RowBatch* batch,
      float* row, int y, int firstColumn, int endColumn) const
    {
      if (batch == nullptr || endColumn - firstColumn < 2) {
        SampleRow (module, row, y, firstColumn, endColumn);
        return;
      }
      const double z = m_lowerZ + y * m_zStep;
      std::vector<double> xs (static_cast<std::size_t> (endColumn));
      for (int x = firstColumn; x < endColumn; ++x) {
        xs[static_cast<std::size_t> (x)] = m_lowerX + x * m_xStep;
      }
      batch->BeginRow (xs.data (), 0.0, z, endColumn);
      for (int x = firstColumn; x < endColumn; ++x) {
        batch->SetColumn (x);
        row[x] = static_cast<float> (module.GetValue (xs[static_cast<std::size_t> (x)], 0.0, z));
      }
      batch->EndRow ();
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
