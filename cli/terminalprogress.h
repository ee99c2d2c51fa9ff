#pragma once
// Progress on standard error: on a terminal one line that updates in place, elsewhere (a pipe, a
// log file) plain lines, each text once. Quiet prints nothing.
#include "noise/progressreporter.h"

#include <cstdio>

namespace orovista::cli {

class TerminalProgress : public noise::utils::ProgressReporter {
public:
    explicit TerminalProgress(bool quiet, std::FILE *stream = stderr);
    ~TerminalProgress() override;

    void SetStatusText(const QString &text) override;
    /// The current stage, shown in front of the status ("[2/4] texture 1024 × 1024").
    void SetStage(int stage, int stages, const QString &text);
    void Finish();

private:
    void show(const QString &line);

    bool m_quiet;
    bool m_terminal;
    std::FILE *m_stream;
    QString m_stage;
    QString m_last;
    bool m_open = false;   ///< a terminal line is showing and needs its line feed
};

}   // namespace orovista::cli
