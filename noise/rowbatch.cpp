// rowbatch.cpp

#include "noise/rowbatch.h"

#include "noise/batchnoise.h"

#include <libnoise/module/turbulence.h>

#include <cstdint>
#include <cstring>

namespace noise
{

  namespace utils
  {

    namespace
    {

      bool Same (double a, double b)
      {
        std::uint64_t ua, ub;
        std::memcpy (&ua, &a, sizeof ua);
        std::memcpy (&ub, &b, sizeof ub);
        return ua == ub;
      }

      /// The points of the row, or where a turbulence moves them.
      struct PointSet
      {
        std::vector<double> x, y, z;

        bool Holds (int column, double px, double py, double pz) const
        {
          return Same (x[column], px) && Same (y[column], py) && Same (z[column], pz);
        }
      };

      class BatchedGenerator;
      class BatchedTurbulence;

    }

    struct RowBatch::State
    {
      int column = -1;      ///< -1: not in a row
      int count = 0;
      bool firstRow = true;
      /// Set 0: the row's points; then one per distinct turbulence.
      std::vector<PointSet> sets;
      /// Turbulence module of each displaced set (entry 0 unused).
      std::vector<const noise::module::Turbulence*> turbulences;
      std::vector<BatchedGenerator*> generators;
    };

    namespace
    {

      /// Stands in for a generator: its values at the row's point sets.
      class BatchedGenerator: public noise::module::Module
      {

        public:

          BatchedGenerator (const noise::module::Module& generator,
            std::shared_ptr<RowBatch::State> state)
            : Module (sourceModuleCount), m_generator (generator),
              m_state (std::move (state))
          {
            m_pSourceModule[0] = &generator;
          }

          /// A constant: the base class needs the count before a virtual
          /// function may be called.
          static constexpr int sourceModuleCount = 1;

          int GetSourceModuleCount () const override
          {
            return sourceModuleCount;
          }

          double GetValue (double x, double y, double z) const override
          {
            const RowBatch::State& state = *m_state;
            const int column = state.column;
            if (column >= 0) {
              for (std::size_t s = 0; s < state.sets.size (); ++s) {
                if (state.sets[s].Holds (column, x, y, z)) {
                  m_asked[s] = true;
                  if (m_computed[s]) {
                    return m_values[s][static_cast<std::size_t> (column)];
                  }
                  break;
                }
              }
            }
            return m_generator.GetValue (x, y, z);
          }

          /// Computes the values of the sets asked for in the last row.
          void BeginRow (const RowBatch::State& state)
          {
            const std::size_t setCount = state.sets.size ();
            m_values.resize (setCount);
            m_computed.resize (setCount, false);
            m_asked.resize (setCount, false);
            for (std::size_t s = 0; s < setCount; ++s) {
              m_computed[s] = state.firstRow || m_asked[s];
              m_asked[s] = false;
              if (m_computed[s]) {
                const PointSet& points = state.sets[s];
                m_values[s].resize (static_cast<std::size_t> (state.count));
                noise::batch::GetValues (m_generator, points.x.data (),
                  points.y.data (), points.z.data (), m_values[s].data (),
                  static_cast<std::size_t> (state.count));
              }
            }
          }

        private:

          const noise::module::Module& m_generator;
          std::shared_ptr<RowBatch::State> m_state;
          std::vector<std::vector<double>> m_values;
          std::vector<bool> m_computed;
          mutable std::vector<bool> m_asked;

      };

      /// Stands in for a Turbulence module: at the row's points, its source
      /// at the displaced points computed ahead.
      class BatchedTurbulence: public noise::module::Module
      {

        public:

          BatchedTurbulence (const noise::module::Turbulence& turbulence,
            std::shared_ptr<RowBatch::State> state, std::size_t set)
            : Module (sourceModuleCount), m_turbulence (turbulence),
              m_state (std::move (state)), m_set (set)
          {
            m_pSourceModule[0] = &turbulence;
          }

          /// A constant: the base class needs the count before a virtual
          /// function may be called.
          static constexpr int sourceModuleCount = 1;

          int GetSourceModuleCount () const override
          {
            return sourceModuleCount;
          }

          double GetValue (double x, double y, double z) const override
          {
            const RowBatch::State& state = *m_state;
            const int column = state.column;
            if (column >= 0 && state.sets[0].Holds (column, x, y, z)) {
              const PointSet& moved = state.sets[m_set];
              const std::size_t c = static_cast<std::size_t> (column);
              return m_turbulence.GetSourceModule (0).GetValue (moved.x[c], moved.y[c],
                moved.z[c]);
            }
            return m_turbulence.GetValue (x, y, z);
          }

        private:

          const noise::module::Turbulence& m_turbulence;
          std::shared_ptr<RowBatch::State> m_state;
          std::size_t m_set;

      };

      bool SameTurbulence (const noise::module::Turbulence& a,
        const noise::module::Turbulence& b)
      {
        return Same (a.GetFrequency (), b.GetFrequency ()) && Same (a.GetPower (), b.GetPower ())
          && a.GetRoughnessCount () == b.GetRoughnessCount () && a.GetSeed () == b.GetSeed ();
      }

    }

    RowBatch::RowBatch (ModuleGraph& graph)
      : m_state (std::make_shared<State> ())
    {
      State& state = *m_state;
      state.sets.resize (1);
      state.turbulences.push_back (nullptr);
      const int moduleCount = graph.GetModuleCount ();
      for (int i = 0; i < moduleCount; ++i) {
        noise::module::Module& module = graph.GetModule (i);
        if (noise::batch::CanBatch (module)) {
          auto& standIn = graph.Add<BatchedGenerator> (module, m_state);
          state.generators.push_back (&standIn);
          graph.Redirect (module, standIn);
        } else if (const auto* turbulence
          = dynamic_cast<const noise::module::Turbulence*> (&module)) {
          std::size_t set = 1;
          while (set < state.turbulences.size ()
            && !SameTurbulence (*state.turbulences[set], *turbulence)) {
            ++set;
          }
          if (set == state.turbulences.size ()) {
            state.turbulences.push_back (turbulence);
            state.sets.emplace_back ();
          }
          graph.Redirect (module, graph.Add<BatchedTurbulence> (*turbulence, m_state, set));
        }
      }
    }

    RowBatch::~RowBatch ()
    {
      m_state->column = -1;
    }

    bool RowBatch::IsEmpty () const
    {
      return m_state->generators.empty () && m_state->turbulences.size () == 1;
    }

    void RowBatch::BeginRow (const double* x, double y, double z, int count)
    {
      State& state = *m_state;
      state.column = -1;
      state.count = count;
      const std::size_t n = static_cast<std::size_t> (count);
      PointSet& row = state.sets[0];
      row.x.assign (x, x + n);
      row.y.assign (n, y);
      row.z.assign (n, z);
      for (std::size_t s = 1; s < state.sets.size (); ++s) {
        PointSet& moved = state.sets[s];
        moved.x.resize (n);
        moved.y.resize (n);
        moved.z.resize (n);
        noise::batch::GetTurbulencePoints (*state.turbulences[s], row.x.data (),
          row.y.data (), row.z.data (), moved.x.data (), moved.y.data (),
          moved.z.data (), n);
      }
      for (BatchedGenerator* generator : state.generators) {
        generator->BeginRow (state);
      }
      state.firstRow = false;
    }

    void RowBatch::SetColumn (int column)
    {
      m_state->column = column >= 0 && column < m_state->count ? column : -1;
    }

    void RowBatch::EndRow ()
    {
      m_state->column = -1;
    }

  }

}
