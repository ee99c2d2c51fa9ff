// outputfiles.cpp

#include "noise/outputfiles.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orovista::files
{

  namespace
  {

    /// Every temporary file of the process that is not yet in place, so
    /// that a process told to stop can remove them.
    struct Registry
    {
      std::mutex lock;
      std::set<std::string> temporaries;
      bool stopped = false;
    };

    Registry& registry ()
    {
      static Registry r;
      return r;
    }

    std::string native (const QString& path)
    {
      return QFile::encodeName (path).toStdString ();
    }

    QString temporaryName (const QString& target)
    {
      const QFileInfo info (target);
      const QString name = QStringLiteral (".%1.%2.part")
        .arg (info.fileName ())
        .arg (QRandomGenerator::global ()->generate64 (), 16, 16, QLatin1Char ('0'));
      return info.dir ().filePath (name);
    }

    void forget (const QString& temporary)
    {
      Registry& r = registry ();
      std::lock_guard hold (r.lock);
      r.temporaries.erase (native (temporary));
    }

    /// Creates a new temporary file beside target and registers it.
    /// Returns its descriptor, or -1 with errno set.
    int createTemporary (const QString& target, QString& temporary)
    {
      for (int attempt = 0; attempt < 16; ++attempt) {
        temporary = temporaryName (target);
        const std::string path = native (temporary);
        Registry& r = registry ();
        std::lock_guard hold (r.lock);
        if (r.stopped) {
          errno = ECANCELED;
          return -1;
        }
        const int fd = ::open (path.c_str (), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
          r.temporaries.insert (path);
          return fd;
        }
        if (errno != EEXIST) {
          return -1;
        }
      }
      return -1;
    }

    bool writeAll (int fd, const char* data, qsizetype size)
    {
      while (size > 0) {
        const ssize_t n = ::write (fd, data, std::size_t (size));
        if (n < 0) {
          if (errno == EINTR) {
            continue;
          }
          return false;
        }
        data += n;
        size -= n;
      }
      return true;
    }

  }

  QString reason (int errorNumber)
  {
    return QString::fromLocal8Bit (std::strerror (errorNumber));
  }

  QString cannotWrite (const QString& path, const QString& why)
  {
    return QStringLiteral ("cannot write %1: %2").arg (path, why);
  }

  WriteError::WriteError (const QString& message):
    std::runtime_error (message.toStdString ())
  {
  }

  QString WriteError::message () const
  {
    return QString::fromUtf8 (what ());
  }

  Batch::Batch () = default;

  Batch::~Batch ()
  {
    discard ();
  }

  QString Batch::write (const QString& path, const QList<QByteArrayView>& parts)
  {
    QString temporary;
    const int fd = createTemporary (path, temporary);
    if (fd < 0) {
      throw WriteError (cannotWrite (path, reason (errno)));
    }
    bool written = true;
    for (const QByteArrayView& part : parts) {
      if (!writeAll (fd, part.data (), part.size ())) {
        written = false;
        break;
      }
    }
    const int writeErrno = errno;
    const bool closed = ::close (fd) == 0;
    if (!written || !closed) {
      const int why = written ? errno : writeErrno;
      ::unlink (native (temporary).c_str ());
      forget (temporary);
      throw WriteError (cannotWrite (path, reason (why)));
    }
    // A second write of the same target replaces the first.
    for (auto it = m_entries.begin (); it != m_entries.end (); ++it) {
      if (it->target == path) {
        ::unlink (native (it->temporary).c_str ());
        forget (it->temporary);
        m_entries.erase (it);
        break;
      }
    }
    m_entries.push_back ({temporary, path});
    return temporary;
  }

  QString Batch::reserve (const QString& path)
  {
    const QString temporary = temporaryName (path);
    {
      Registry& r = registry ();
      std::lock_guard hold (r.lock);
      r.temporaries.insert (native (temporary));
    }
    m_entries.push_back ({temporary, path});
    return temporary;
  }

  QString Batch::current (const QString& path) const
  {
    for (auto it = m_entries.rbegin (); it != m_entries.rend (); ++it) {
      if (it->target == path) {
        return it->temporary;
      }
    }
    return path;
  }

  void Batch::commit ()
  {
    Registry& r = registry ();
    std::unique_lock hold (r.lock);
    QString failure;
    if (r.stopped) {
      failure = QStringLiteral ("the run was stopped");
    }
    std::size_t done = 0;
    for (; failure.isEmpty () && done < m_entries.size (); ++done) {
      const Entry& e = m_entries[done];
      const std::string from = native (e.temporary);
      if (std::rename (from.c_str (), native (e.target).c_str ()) != 0) {
        failure = cannotWrite (e.target, reason (errno));
        break;
      }
      r.temporaries.erase (from);
    }
    m_entries.erase (m_entries.begin (), m_entries.begin () + std::ptrdiff_t (done));
    hold.unlock ();
    if (!failure.isEmpty ()) {
      discard ();
      throw WriteError (failure);
    }
  }

  void Batch::discard ()
  {
    for (const Entry& e : m_entries) {
      ::unlink (native (e.temporary).c_str ());
      forget (e.temporary);
    }
    m_entries.clear ();
  }

  QString writeFile (const QString& path, const QList<QByteArrayView>& parts, Batch* batch)
  {
    try {
      if (batch != nullptr) {
        batch->write (path, parts);
        return {};
      }
      Batch own;
      own.write (path, parts);
      own.commit ();
    } catch (const WriteError& e) {
      return e.message ();
    }
    return {};
  }

  QString writePicture (const QString& path, QImage picture, Batch* batch)
  {
    QByteArray bytes;
    {
      QBuffer buffer (&bytes);
      buffer.open (QIODevice::WriteOnly);
      if (!picture.save (&buffer, "JPG", 100)) {
        return cannotWrite (path, QStringLiteral ("the picture could not be compressed"));
      }
    }
    picture = QImage ();
    return writeFile (path, {bytes}, batch);
  }

  void removeAllTemporaries ()
  {
    Registry& r = registry ();
    std::lock_guard hold (r.lock);
    r.stopped = true;
    for (const std::string& path : r.temporaries) {
      ::unlink (path.c_str ());
    }
    r.temporaries.clear ();
  }

  QString inputProblem (const QString& path)
  {
    if (path.isEmpty ()) {
      return QStringLiteral ("no file name");
    }
    struct stat info;
    if (::stat (native (path).c_str (), &info) != 0) {
      return reason (errno);
    }
    if (!S_ISREG (info.st_mode)) {
      return S_ISDIR (info.st_mode) ? QStringLiteral ("it is a folder") : QStringLiteral ("not a regular file");
    }
    const int fd = ::open (native (path).c_str (), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
      return reason (errno);
    }
    ::close (fd);
    return {};
  }

}
