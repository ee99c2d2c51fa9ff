#pragma once
// The run log: "logFile.txt" in the working folder.
//
// Every entry is a bare string (no time stamp, no prefix) written and flushed at once, so that
// another program tailing the file sees each line as it happens. Most entries end in "\n"; a few
// are assembled from several writes. Writes while the log is closed (or failed to open) are
// dropped silently: logging never stops the program.
#include <QFile>
#include <QString>

namespace orovista {

class RunLog {
public:
    /// Opens path for writing, truncating it. Returns false (and stays closed) when it cannot.
    bool open(const QString &path);
    void close();
    bool isOpen() const { return m_file.isOpen(); }
    QString path() const { return m_file.fileName(); }

    RunLog &operator<<(const QString &text);
    RunLog &operator<<(const char *text) { return *this << QString::fromUtf8(text); }
    RunLog &operator<<(int number) { return *this << QString::number(number); }

private:
    QFile m_file;
};

/// The process-wide run log.
RunLog &runLog();

}   // namespace orovista
