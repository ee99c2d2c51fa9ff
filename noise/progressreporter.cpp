// progressreporter.cpp

#include "noise/progressreporter.h"

namespace noise
{

  namespace utils
  {

    ProgressReporter::~ProgressReporter () = default;

    void ProgressReporter::SetStatusText (const QString&)
    {
    }

    void ProgressReporter::SetPanelText (const QString&)
    {
    }

    void ProgressReporter::ProcessEvents ()
    {
    }

    bool ProgressReporter::IsCancelled ()
    {
      return false;
    }

    void ProgressReporter::CheckCancelled ()
    {
      if (IsCancelled ()) {
        throw Cancelled ();
      }
    }

    ProgressReporter& ProgressReporter::Null ()
    {
      static ProgressReporter silent;
      return silent;
    }

  }

}
