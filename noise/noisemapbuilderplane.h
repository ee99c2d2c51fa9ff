// noisemapbuilderplane.h
//
// Sampling a noise module over a rectangle of the (x, z) plane into a map.

#ifndef OROVISTA_NOISE_NOISEMAPBUILDERPLANE_H
#define OROVISTA_NOISE_NOISEMAPBUILDERPLANE_H

#include "noise/noisemap.h"
#include "noise/progressreporter.h"

#include <libnoise/module/modulebase.h>

#include <functional>

namespace noise
{

  namespace utils
  {

    class RowBatch;

    /// Called after each finished row with the row's number.
    using NoiseMapCallback = std::function<void (int row)>;

    /// What every plane map builder shares: the destination map and its
    /// size, the plane window, the row callback, the progress reporter and
    /// the two Build() operations.
    ///
    /// The window is sampled on a regular grid: row @a y, column @a x of
    /// the map holds the value at
    /// (lowerX + x * (upperX - lowerX) / width, 0, lowerZ + y * (upperZ - lowerZ) / height).
    /// The upper bounds themselves are never sampled.  The first sample is
    /// always the window's lower corner (lowerX, 0, lowerZ), so modules that
    /// rebuild a cache at the origin (NoiseImage) do so before any other
    /// sample of a window that starts there.
    ///
    /// Build(node) reports progress: before sampling it sets the progress
    /// panel to "computing noise ... \n\nnode: <node>/9" and the status line
    /// to "computing noise ... node: <node>/9", lets the reporter process
    /// events once, and afterwards sets the status line to
    /// "noise maps generated".  Build() does the same work silently.
    class PlaneMapBuilder
    {

      public:

        virtual ~PlaneMapBuilder ();

        /// Builds the map.
        ///
        /// @throw noise::ExceptionInvalidParam the window is empty, the size
        /// is below 1 x 1 or above RASTER_MAX_SIZE, or the source or the
        /// destination map is missing.
        void Build ();

        /// Builds the map as step @a node (1 ... 9) of a noise machine run,
        /// reporting progress to the progress reporter.
        ///
        /// The parameters are checked before the texts are shown and again
        /// after the events have been processed, because user-interface code
        /// run from there may have changed them.
        void Build (int node);

        /// Sets the function called after each finished row (or none).
        void SetCallback (NoiseMapCallback callback)
        {
          m_callback = std::move (callback);
        }

        /// Sets the map written by Build().  The builder does not own it.
        void SetDestNoiseMap (NoiseMap& destNoiseMap)
        {
          m_destNoiseMap = &destNoiseMap;
        }

        /// Sets the size of the map to build.
        ///
        /// @throw noise::ExceptionInvalidParam a side is negative.
        void SetDestSize (int destWidth, int destHeight);

        /// Sets the plane window: x from @a lowerX to @a upperX, z from
        /// @a lowerZ to @a upperZ.
        ///
        /// @throw noise::ExceptionInvalidParam unless lowerX < upperX and
        /// lowerZ < upperZ, all finite.
        void SetBounds (double lowerX, double upperX, double lowerZ, double upperZ);

        /// Chooses whether generators are computed a row at a time
        /// (noise::batch, RowBatch: the default) or point by point, as
        /// libnoise does.  Both give the same bits; the point-by-point way
        /// is kept to check that, and to measure the difference.
        void EnableBatch (bool enable)
        {
          m_batch = enable;
        }

        bool IsBatchEnabled () const
        {
          return m_batch;
        }

        /// Sets the reporter of Build(node); null restores the silent one.
        /// The builder does not own it.
        void SetProgressReporter (ProgressReporter* reporter)
        {
          m_reporter = reporter;
        }

        int GetDestWidth () const
        {
          return m_destWidth;
        }

        int GetDestHeight () const
        {
          return m_destHeight;
        }

        double GetLowerXBound () const
        {
          return m_lowerX;
        }

        double GetUpperXBound () const
        {
          return m_upperX;
        }

        double GetLowerZBound () const
        {
          return m_lowerZ;
        }

        double GetUpperZBound () const
        {
          return m_upperZ;
        }

      protected:

        /// True when the builder has what it samples.
        virtual bool HasSource () const = 0;

        /// Fills every cell of @a map, already of the destination size,
        /// calling RowDone() for each row in increasing order.
        virtual void FillMap (NoiseMap& map) = 0;

        /// Samples columns @a firstColumn ... @a endColumn - 1 of row @a y of
        /// the window into @a row.  Every builder samples through this, so
        /// they all produce the same bits.  A generator batch evaluation
        /// computes (noise::batch::CanBatch()) is sampled in one batch, unless
        /// batch evaluation is off.
        void SampleRow (const noise::module::Module& module, float* row, int y,
          int firstColumn, int endColumn) const;

        /// SampleRow() with the generators of @a module's graph computed a
        /// row at a time by @a batch (null: as SampleRow() above).
        void SampleRow (const noise::module::Module& module, RowBatch* batch,
          float* row, int y, int firstColumn, int endColumn) const;

        /// Calls the row callback, if one is set.
        void RowDone (int row) const
        {
          if (m_callback) {
            m_callback (row);
          }
        }

      private:

        void Validate () const;
        void Run ();

        NoiseMapCallback m_callback;
        NoiseMap* m_destNoiseMap = nullptr;
        ProgressReporter* m_reporter = nullptr;
        int m_destWidth = 0;
        int m_destHeight = 0;
        double m_lowerX = 0.0;
        double m_upperX = 0.0;
        double m_lowerZ = 0.0;
        double m_upperZ = 0.0;
        double m_xStep = 0.0;
        double m_zStep = 0.0;
        bool m_batch = true;

    };

    /// Builds a noise map from one module over a rectangle of the (x, z)
    /// plane, sampling with y = 0.
    ///
    /// This is the hot loop of map generation: one GetValue() per cell (or,
    /// for a Perlin, Billow or RidgedMulti module, one batch per row), no
    /// allocation per sample, rows written straight into the destination
    /// map.  It runs on the calling thread; ParallelNoiseMapBuilderPlane
    /// splits the rows among threads and gives the same result.
    class NoiseMapBuilderPlane: public PlaneMapBuilder
    {

      public:

        /// Sets the module sampled.  The builder does not own it.
        void SetSourceModule (const noise::module::Module& sourceModule)
        {
          m_sourceModule = &sourceModule;
        }

      protected:

        bool HasSource () const override
        {
          return m_sourceModule != nullptr;
        }

        void FillMap (NoiseMap& map) override;

      private:

        const noise::module::Module* m_sourceModule = nullptr;

    };

  }

}

#endif
