// parallelbuilder.h
//
// Building a noise map on several threads.

#ifndef OROVISTA_NOISE_PARALLELBUILDER_H
#define OROVISTA_NOISE_PARALLELBUILDER_H

#include "noise/noisemapbuilderplane.h"

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace noise
{

  namespace utils
  {

    /// A set of noise modules wired together, owned as one object, with
    /// numbered outputs: the modules a map builder may sample.
    ///
    /// libnoise modules may hold state between calls (Cache remembers the
    /// last point, NoiseImage its picture), so one graph must not be
    /// evaluated by two threads at once.  The parallel builder therefore
    /// asks a factory for one graph per thread; every graph the factory
    /// makes must compute the same function.
    ///
    /// @code
    /// auto factory = [] {
    ///   auto graph = std::make_unique<noise::utils::ModuleGraph> ();
    ///   auto& perlin = graph->Add<noise::module::Perlin> ();
    ///   perlin.SetOctaveCount (8);
    ///   auto& cache = graph->Add<noise::module::Cache> ();
    ///   cache.SetSourceModule (0, perlin);
    ///   graph->SetOutput (1, cache);
    ///   return graph;
    /// };
    /// @endcode
    class ModuleGraph
    {

      public:

        ModuleGraph () = default;
        ModuleGraph (const ModuleGraph&) = delete;
        ModuleGraph& operator= (const ModuleGraph&) = delete;
        virtual ~ModuleGraph ();

        /// Creates a module owned by the graph and returns it.  Modules are
        /// destroyed in reverse order of creation.
        template <class M, class... Args>
        M& Add (Args&&... args)
        {
          auto module = std::make_unique<M> (std::forward<Args> (args)...);
          M& added = *module;
          m_modules.push_back (std::move (module));
          return added;
        }

        /// Makes @a module (usually one of the graph's own) output number
        /// @a index.
        ///
        /// @throw noise::ExceptionInvalidParam @a index is negative.
        void SetOutput (int index, const noise::module::Module& module);

        /// Output number @a index.
        ///
        /// @throw noise::ExceptionNoModule no module is set there.
        const noise::module::Module& GetOutput (int index) const;

        /// Number of modules the graph owns.
        int GetModuleCount () const
        {
          return static_cast<int> (m_modules.size ());
        }

        /// Module number @a index (0 ... GetModuleCount () - 1), in order
        /// of creation.
        noise::module::Module& GetModule (int index)
        {
          return *m_modules.at (static_cast<std::size_t> (index));
        }

        /// Makes every module of the graph that reads @a module as a source
        /// (any of its source slots) read @a replacement instead, and every
        /// output that is @a module be @a replacement.  @a replacement's own
        /// sources are left as they are, so it may read @a module itself.
        void Redirect (const noise::module::Module& module,
          const noise::module::Module& replacement);

      private:

        std::vector<std::unique_ptr<noise::module::Module>> m_modules;
        std::vector<const noise::module::Module*> m_outputs;

    };

    /// Makes one independent module graph; called once per thread and per
    /// build, always on the thread that calls Build().
    using ModuleGraphFactory = std::function<std::unique_ptr<ModuleGraph> ()>;

    /// Builds a noise map over a rectangle of the (x, z) plane with several
    /// threads, bit for bit the same map as NoiseMapBuilderPlane gives for
    /// the same module.
    ///
    /// Each Build() asks the factory for one graph per thread and samples
    /// the selected output of each.  The calling thread first samples the
    /// window's lower corner alone (so a NoiseImage at the origin has loaded
    /// its picture before anything else reads it), then all threads take
    /// rows one at a time until the map is full; the calling thread is one
    /// of them.  The row callback and the progress reporter are only called
    /// on the calling thread, the callback once per row in increasing order.
    /// An exception thrown by a module on any thread stops the build and is
    /// rethrown by Build().
    ///
    /// Unless batch evaluation is switched off (EnableBatch()), each graph
    /// gets a RowBatch, which computes its generators a row at a time; the
    /// map is the same bits either way.
    ///
    /// The graphs are destroyed at the end of each build.
    class ParallelNoiseMapBuilderPlane: public PlaneMapBuilder
    {

      public:

        ParallelNoiseMapBuilderPlane ();

        /// Sets the graph factory and the output sampled.
        void SetGraphFactory (ModuleGraphFactory factory, int output = 0)
        {
          m_factory = std::move (factory);
          m_output = output;
        }

        /// Selects the graph output sampled by the next build.
        void SetOutput (int output)
        {
          m_output = output;
        }

        int GetOutput () const
        {
          return m_output;
        }

        /// Sets the number of threads, the calling one included.
        ///
        /// @throw noise::ExceptionInvalidParam @a threadCount is below 1.
        void SetThreadCount (int threadCount);

        int GetThreadCount () const
        {
          return m_threadCount;
        }

        /// The number of hardware threads (at least 1): the default.
        static int DefaultThreadCount ();

      protected:

        bool HasSource () const override
        {
          return static_cast<bool> (m_factory);
        }

        void FillMap (NoiseMap& map) override;

      private:

        ModuleGraphFactory m_factory;
        int m_output = 0;
        int m_threadCount = 1;

    };

  }

}

#endif
