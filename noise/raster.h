// raster.h
//
// The row-major grid shared by the noise map (heights) and the colour image.

#ifndef OROVISTA_NOISE_RASTER_H
#define OROVISTA_NOISE_RASTER_H

#include <libnoise/exception.h>

#include <cstddef>
#include <new>
#include <vector>

namespace noise
{

  namespace utils
  {

    /// Largest width or height a map or an image may have.
    constexpr int RASTER_MAX_SIZE = 32767;

    /// A width x height grid of cells, stored row by row.
    ///
    /// Each row occupies a stride of cells: the width rounded up to a
    /// multiple of four, so that rows start on aligned addresses.  Row @a y,
    /// column @a x lives at GetSlabPtr()[y * GetStride() + x].
    ///
    /// Reading a cell outside the grid returns the border value; writing one
    /// is ignored.  Each side may be 0 ... RASTER_MAX_SIZE; a zero side
    /// releases the buffer and leaves an empty 0 x 0 grid.
    ///
    /// This is the common base of NoiseMap and Image; use those.
    template <class T>
    class Raster
    {

      public:

        Raster () = default;

        /// Creates a grid of the given size; see SetSize().
        Raster (int width, int height)
        {
          SetSize (width, height);
        }

        /// Resizes the grid.  The contents are kept when the size does not
        /// change and are zeroed otherwise.
        ///
        /// @throw noise::ExceptionInvalidParam a side is outside
        /// 0 ... RASTER_MAX_SIZE.
        /// @throw noise::ExceptionOutOfMemory the buffer could not be
        /// allocated; the grid is then empty.
        void SetSize (int width, int height)
        {
          if (width < 0 || height < 0 || width > RASTER_MAX_SIZE
            || height > RASTER_MAX_SIZE) {
            throw noise::ExceptionInvalidParam ();
          }
          if (width == 0 || height == 0) {
            Release ();
            return;
          }
          if (width == m_width && height == m_height) {
            return;
          }
          const int stride = (width + 3) & ~3;
          Release ();
          try {
            m_cells.assign (static_cast<std::size_t> (stride)
              * static_cast<std::size_t> (height), T ());
          } catch (const std::bad_alloc&) {
            Release ();
            throw noise::ExceptionOutOfMemory ();
          }
          m_width = width;
          m_height = height;
          m_stride = stride;
        }

        int GetWidth () const
        {
          return m_width;
        }

        int GetHeight () const
        {
          return m_height;
        }

        /// Cells from the start of one row to the start of the next.
        int GetStride () const
        {
          return m_stride;
        }

        /// The value returned for cells outside the grid.
        T GetBorderValue () const
        {
          return m_border;
        }

        void SetBorderValue (T value)
        {
          m_border = value;
        }

        /// The cell at column @a x, row @a y, or the border value outside.
        T GetValue (int x, int y) const
        {
          if (x < 0 || y < 0 || x >= m_width || y >= m_height) {
            return m_border;
          }
          return m_cells[Index (x, y)];
        }

        /// Sets the cell at column @a x, row @a y; ignored outside the grid.
        void SetValue (int x, int y, T value)
        {
          if (x < 0 || y < 0 || x >= m_width || y >= m_height) {
            return;
          }
          m_cells[Index (x, y)] = value;
        }

        /// Sets every cell (the stride padding included) to @a value.
        void Clear (T value)
        {
          m_cells.assign (m_cells.size (), value);
        }

        /// The first cell of the grid, or null when it is empty.
        T* GetSlabPtr ()
        {
          return m_cells.empty () ? nullptr : m_cells.data ();
        }

        const T* GetConstSlabPtr () const
        {
          return m_cells.empty () ? nullptr : m_cells.data ();
        }

        /// The first cell of row @a row (0 ... height - 1).
        T* GetSlabPtr (int row)
        {
          return m_cells.data () + Index (0, row);
        }

        const T* GetConstSlabPtr (int row) const
        {
          return m_cells.data () + Index (0, row);
        }

      private:

        std::size_t Index (int x, int y) const
        {
          return static_cast<std::size_t> (y) * static_cast<std::size_t> (m_stride)
            + static_cast<std::size_t> (x);
        }

        void Release ()
        {
          std::vector<T> ().swap (m_cells);
          m_width = m_height = m_stride = 0;
        }

        int m_width = 0;
        int m_height = 0;
        int m_stride = 0;
        T m_border = T ();
        std::vector<T> m_cells;

    };

  }

}

#endif
