#pragma once
// Progress of long work in the window: texts on the status line and on the busy overlay over the
// TERRAFORM page (shown while it has text), and one pass of the event loop so both repaint.
#include "noise/progressreporter.h"

namespace orovista {

class WindowProgress : public noise::utils::ProgressReporter {
public:
    void SetStatusText(const QString &text) override;
    void SetPanelText(const QString &text) override;
    void ProcessEvents() override;
    /// The user pressed the overlay's "cancel" button or Esc.
    bool IsCancelled() override;
    /// Hides the overlay and clears its text.
    void Hide();
};

}   // namespace orovista
