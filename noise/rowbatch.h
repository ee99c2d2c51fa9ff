// rowbatch.h
//
// Computing the generators of a module graph a row of points at a time.

#ifndef OROVISTA_NOISE_ROWBATCH_H
#define OROVISTA_NOISE_ROWBATCH_H

#include "noise/parallelbuilder.h"

#include <memory>
#include <vector>

namespace noise
{

  namespace utils
  {

    /// Row-at-a-time evaluation of the generators of a module graph whose
    /// outputs are otherwise sampled one point after another.
    ///
    /// A map builder asks a graph for its value at the points
    /// (x[0], y, z), (x[1], y, z) ... of a row, and the graph asks its
    /// generators (Perlin, Billow, RidgedMulti) at those same points, or,
    /// under a Turbulence module, at the points the turbulence moves them
    /// to.  A RowBatch puts a stand-in in front of every such generator
    /// and every Turbulence module of the graph.  BeginRow() computes, for
    /// the whole row and with noise::batch::GetValues(), the turbulence
    /// displacements and each generator's values at the point sets it was
    /// asked for in the previous row (at all of them in the first row).
    /// During the row the builder tells which column it samples; a
    /// stand-in asked for exactly (bit for bit) the row's point of that
    /// column, or its displaced point, returns the value computed ahead,
    /// and otherwise asks the module it stands for.  Since batch values are
    /// the modules' own values, the graph's outputs are the same bits
    /// either way; the rest of the graph (Caches, deformers, combiners) is
    /// untouched and still evaluated point by point.
    ///
    /// A point set nobody asks for is dropped for the next row, and taken
    /// up again a row after it is asked for, so graphs whose generators are
    /// asked only here and there (under Select, say) stay correct, only
    /// slower.
    ///
    /// The graph owns the stand-ins; it must outlive the RowBatch, and
    /// like the graph a RowBatch is used by one thread at a time.
    class RowBatch
    {

      public:

        /// Redirects @a graph's generators and Turbulence modules through
        /// stand-ins (see ModuleGraph::Redirect()).
        explicit RowBatch (ModuleGraph& graph);
        ~RowBatch ();

        RowBatch (const RowBatch&) = delete;
        RowBatch& operator= (const RowBatch&) = delete;

        /// True when the graph had nothing to batch.
        bool IsEmpty () const;

        /// Starts a row: the points (x[i], y, z), i in 0 ... count - 1.
        void BeginRow (const double* x, double y, double z, int count);

        /// The row's point the graph is sampled at next.
        void SetColumn (int column);

        /// Ends the row: until the next BeginRow() the stand-ins pass every
        /// request on.
        void EndRow ();

        struct State;

      private:

        std::shared_ptr<State> m_state;

    };

  }

}

#endif
