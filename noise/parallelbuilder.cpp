// parallelbuilder.cpp

#include "noise/parallelbuilder.h"

#include "noise/rowbatch.h"

#include <libnoise/exception.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

namespace noise
{

  namespace utils
  {

    ModuleGraph::~ModuleGraph ()
    {
      // Consumers before their sources: a module may refer to an earlier one.
      while (!m_modules.empty ()) {
        m_modules.pop_back ();
      }
    }

    void ModuleGraph::SetOutput (int index, const noise::module::Module& module)
    {
      if (index < 0) {
        throw noise::ExceptionInvalidParam ();
      }
      if (static_cast<std::size_t> (index) >= m_outputs.size ()) {
        m_outputs.resize (static_cast<std::size_t> (index) + 1, nullptr);
      }
      m_outputs[static_cast<std::size_t> (index)] = &module;
    }

    const noise::module::Module& ModuleGraph::GetOutput (int index) const
    {
      if (index < 0 || static_cast<std::size_t> (index) >= m_outputs.size ()
        || m_outputs[static_cast<std::size_t> (index)] == nullptr) {
        throw noise::ExceptionNoModule ();
      }
      return *m_outputs[static_cast<std::size_t> (index)];
    }

    void ModuleGraph::Redirect (const noise::module::Module& module,
      const noise::module::Module& replacement)
    {
      for (const std::unique_ptr<noise::module::Module>& m : m_modules) {
        if (m.get () == &replacement) {
          continue;
        }
        for (int slot = 0; slot < m->GetSourceModuleCount (); ++slot) {
          const noise::module::Module* source = nullptr;
          try {
            source = &m->GetSourceModule (slot);
          } catch (const noise::ExceptionNoModule&) {
            continue;   // an empty slot
          }
          if (source == &module) {
            m->SetSourceModule (slot, replacement);
          }
        }
      }
      for (const noise::module::Module*& output : m_outputs) {
        if (output == &module) {
          output = &replacement;
        }
      }
    }

    ParallelNoiseMapBuilderPlane::ParallelNoiseMapBuilderPlane ()
      : m_threadCount (DefaultThreadCount ())
    {
    }

    void ParallelNoiseMapBuilderPlane::SetThreadCount (int threadCount)
    {
      if (threadCount < 1) {
        throw noise::ExceptionInvalidParam ();
      }
      m_threadCount = threadCount;
    }

    int ParallelNoiseMapBuilderPlane::DefaultThreadCount ()
    {
      return std::max (1, static_cast<int> (std::thread::hardware_concurrency ()));
    }

    void ParallelNoiseMapBuilderPlane::FillMap (NoiseMap& map)
    {
      const int width = map.GetWidth ();
      const int height = map.GetHeight ();
      const int threadCount = std::clamp (m_threadCount, 1, height);

      // The graphs are made here, on the calling thread: the factory need
      // not be thread-safe.
      std::vector<std::unique_ptr<ModuleGraph>> graphs;
      std::vector<std::unique_ptr<RowBatch>> batches;
      std::vector<const noise::module::Module*> sources;
      for (int i = 0; i < threadCount; ++i) {
        std::unique_ptr<ModuleGraph> graph = m_factory ();
        if (!graph) {
          throw noise::ExceptionNoModule ();
        }
        std::unique_ptr<RowBatch> batch;
        if (IsBatchEnabled ()) {
          batch = std::make_unique<RowBatch> (*graph);
          if (batch->IsEmpty ()) {
            batch.reset ();
          }
        }
        sources.push_back (&graph->GetOutput (m_output));
        graphs.push_back (std::move (graph));
        batches.push_back (std::move (batch));
      }

      // The lower corner comes first, alone, as in the sequential build.
      SampleRow (*sources[0], map.GetSlabPtr (0), 0, 0, 1);

      std::atomic<int> nextRow {0};
      std::atomic<bool> stop {false};
      const std::unique_ptr<std::atomic<bool>[]> rowDone (new std::atomic<bool>[height]);
      for (int y = 0; y < height; ++y) {
        rowDone[y].store (false, std::memory_order_relaxed);
      }
      std::mutex errorMutex;
      std::exception_ptr error;
      int reported = 0;

      // Callbacks run on the calling thread only, in row order, as soon as
      // every row up to theirs is finished.
      const auto reportFinishedRows = [&] {
        while (reported < height && rowDone[reported].load (std::memory_order_acquire)) {
          RowDone (reported++);
        }
      };
      const auto work = [&] (int index, bool callingThread) {
        try {
          while (!stop.load (std::memory_order_relaxed)) {
            const int y = nextRow.fetch_add (1, std::memory_order_relaxed);
            if (y >= height) {
              break;
            }
            SampleRow (*sources[index], batches[static_cast<std::size_t> (index)].get (),
              map.GetSlabPtr (y), y, y == 0 ? 1 : 0, width);
            rowDone[y].store (true, std::memory_order_release);
            if (callingThread) {
              reportFinishedRows ();
            }
          }
        } catch (...) {
          const std::lock_guard<std::mutex> lock (errorMutex);
          if (!error) {
            error = std::current_exception ();
          }
          stop.store (true, std::memory_order_relaxed);
        }
      };

      std::vector<std::thread> helpers;
      for (int i = 1; i < threadCount; ++i) {
        try {
          helpers.emplace_back (work, i, false);
        } catch (const std::system_error&) {
          break; // Fewer threads: the others share the rows.
        }
      }
      work (0, true);
      for (std::thread& helper : helpers) {
        helper.join ();
      }
      if (error) {
        std::rethrow_exception (error);
      }
      reportFinishedRows ();
    }

  }

}
