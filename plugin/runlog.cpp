#include "plugin/runlog.h"

namespace orovista {

bool RunLog::open(const QString &path)
{
    close();
    m_file.setFileName(path);
    return m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text | QIODevice::Unbuffered);
}

void RunLog::close()
{
    if (m_file.isOpen())
        m_file.close();
}

RunLog &RunLog::operator<<(const QString &text)
{
    if (m_file.isOpen()) {
        m_file.write(text.toUtf8());
        m_file.flush();
    }
    return *this;
}

RunLog &runLog()
{
    static RunLog log;
    return log;
}

}   // namespace orovista
