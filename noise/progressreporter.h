// progressreporter.h
//
// How long computations tell the user where they are.

#ifndef OROVISTA_NOISE_PROGRESSREPORTER_H
#define OROVISTA_NOISE_PROGRESSREPORTER_H

#include <QString>

#include <exception>

namespace noise
{

  namespace utils
  {

    /// Thrown from a progress point of a computation the user stopped.
    class Cancelled : public std::exception
    {
      public:
        const char* what () const noexcept override
        {
          return "cancelled";
        }
    };

    /// Receives the progress of a long computation.
    ///
    /// The computation code knows nothing of windows: it hands its texts to
    /// a reporter and asks it to let the user interface catch up.  The
    /// studio window plugs in a reporter that writes the status line and the
    /// progress panel over the viewport and processes pending events; the
    /// command-line tool plugs in one that prints.  The base class does
    /// nothing at all, so a computation without a reporter runs silently.
    ///
    /// The calls come from the thread that started the computation.
    /// ProcessEvents() may run arbitrary user-interface code; the caller is
    /// prepared for that.
    class ProgressReporter
    {

      public:

        virtual ~ProgressReporter ();

        /// Shows @a text in the main window's status line.
        virtual void SetStatusText (const QString& text);

        /// Shows @a text in the progress panel (a label shown over the
        /// viewport while maps are computed).
        virtual void SetPanelText (const QString& text);

        /// Lets the user interface process its pending events once, so that
        /// the texts above repaint.
        virtual void ProcessEvents ();

        /// Whether the user asked to stop.  Computations ask at their
        /// progress points (after ProcessEvents()) and then stop by
        /// throwing Cancelled, leaving their results unfinished.
        virtual bool IsCancelled ();

        /// Throws Cancelled when IsCancelled() says so.
        void CheckCancelled ();

        /// A shared reporter that does nothing.
        static ProgressReporter& Null ();

    };

  }

}

#endif
