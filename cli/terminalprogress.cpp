#include "cli/terminalprogress.h"

#include <QRegularExpression>

#include <algorithm>
#include <unistd.h>

namespace orovista::cli {

TerminalProgress::TerminalProgress(bool quiet, std::FILE *stream)
    : m_quiet(quiet), m_terminal(isatty(fileno(stream)) != 0), m_stream(stream)
{
}

TerminalProgress::~TerminalProgress() { Finish(); }

void TerminalProgress::SetStage(int stage, int stages, const QString &text)
{
    m_stage = QStringLiteral("[%1/%2] %3").arg(stage).arg(stages).arg(text);
    show(m_stage);
}

void TerminalProgress::SetStatusText(const QString &text)
{
    QString line = m_stage.isEmpty() ? text : m_stage + QStringLiteral(": ") + text;
    // On a terminal the noise steps ("node: 4/9") also fill a bar.
    static const QRegularExpression step(QStringLiteral("node: (\\d+)/9"));
    if (const QRegularExpressionMatch m = step.match(text); m_terminal && m.hasMatch()) {
        const int done = std::clamp(m.captured(1).toInt(), 0, 9);
        const int width = 27;
        line = m_stage + QStringLiteral(" [") + QString(done * width / 9, QLatin1Char('#')) +
               QString(width - done * width / 9, QLatin1Char('.')) + QStringLiteral("] ") + text;
    }
    show(line);
}

void TerminalProgress::show(const QString &line)
{
    if (m_quiet || line == m_last)
        return;
    m_last = line;
    const QByteArray bytes = line.toLocal8Bit();
    if (m_terminal) {
        std::fprintf(m_stream, "\r\033[K%s", bytes.constData());
        m_open = true;
    } else {
        std::fprintf(m_stream, "%s\n", bytes.constData());
    }
    std::fflush(m_stream);
}

void TerminalProgress::Finish()
{
    if (m_open) {
        std::fputc('\n', m_stream);
        std::fflush(m_stream);
        m_open = false;
    }
}

}   // namespace orovista::cli
