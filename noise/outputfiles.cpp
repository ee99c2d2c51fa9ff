// outputfiles.cpp

#include "noise/outputfiles.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <limits>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <string>

#include <csetjmp>
#include <cmath>

#include <jpeglib.h>

#include <fcntl.h>
#include <signal.h>
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

    /// Eight hex digits that tell this machine from others writing into a
    /// shared folder (a hash of its host name).
    const QString& hostTag ()
    {
      static const QString tag = [] {
        char name[256] = {};
        ::gethostname (name, sizeof name - 1);
        std::uint32_t hash = 2166136261u;   // FNV-1a
        for (const char* c = name; *c != 0; ++c) {
          hash = (hash ^ std::uint8_t (*c)) * 16777619u;
        }
        return QStringLiteral ("%1").arg (hash, 8, 16, QLatin1Char ('0'));
      }();
      return tag;
    }

    /// Numbers the temporaries of the process, from a random start.
    std::atomic<quint64>& temporaryCounter ()
    {
      static std::atomic<quint64> counter {QRandomGenerator::global ()->generate64 () >> 8};
      return counter;
    }

    /// ".NAME.HOST-PID-N.part" beside target.  The target's name is cut short
    /// so that the whole stays within a file name's 255 bytes.
    QString temporaryName (const QString& target)
    {
      const QFileInfo info (target);
      const QString name = QStringLiteral (".%1.%2-%3-%4.part")
        .arg (info.fileName ().left (48), hostTag ())
        .arg (qint64 (::getpid ()))
        .arg (temporaryCounter ().fetch_add (1), 16, 16, QLatin1Char ('0'));
      return info.dir ().filePath (name);
    }

    /// The names temporaryName() gives: the host tag and the process id.
    const QRegularExpression& temporaryPattern ()
    {
      static const QRegularExpression pattern (QStringLiteral ("^\\..*\\.([0-9a-f]{8})-([0-9]{1,10})-[0-9a-f]{16}\\.part$"),
                                               QRegularExpression::DotMatchesEverythingOption);
      return pattern;
    }

    /// One name for one file, however the path was written.
    QString fileKey (const QString& path)
    {
      return QDir::cleanPath (QFileInfo (path).absoluteFilePath ());
    }

    void forget (const QString& temporary)
    {
      Registry& r = registry ();
      std::lock_guard hold (r.lock);
      r.temporaries.erase (native (temporary));
    }

    /// Creates a new temporary file beside target and registers it.  The
    /// name is always new (O_EXCL), and never a symbolic link followed
    /// (O_NOFOLLOW): a name someone else made is skipped.  Returns its
    /// descriptor, or -1 with errno set.
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
        const int fd = ::open (path.c_str (), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
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
    add (temporary, path);
    return temporary;
  }

  int Batch::open (const QString& path, QString* temporary)
  {
    QString name;
    const int fd = createTemporary (path, name);
    if (fd < 0) {
      throw WriteError (cannotWrite (path, reason (errno)));
    }
    add (name, path);
    if (temporary != nullptr) {
      *temporary = name;
    }
    return fd;
  }

  QString Batch::reserve (const QString& path)
  {
    QString temporary;
    ::close (open (path, &temporary));
    return temporary;
  }

  void Batch::add (const QString& temporary, const QString& target)
  {
    // A second file for the same target replaces the first.
    remove (target);
    m_entries.push_back ({temporary, target, fileKey (target)});
  }

  void Batch::remove (const QString& path)
  {
    const QString key = fileKey (path);
    for (auto it = m_entries.begin (); it != m_entries.end (); ++it) {
      if (it->key == key) {
        ::unlink (native (it->temporary).c_str ());
        forget (it->temporary);
        m_entries.erase (it);
        return;
      }
    }
  }

  QString Batch::current (const QString& path) const
  {
    const QString key = fileKey (path);
    for (auto it = m_entries.rbegin (); it != m_entries.rend (); ++it) {
      if (it->key == key) {
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
    // First what can be seen before anything changes: every temporary is
    // there, and no target is a folder.
    for (std::size_t i = 0; failure.isEmpty () && i < m_entries.size (); ++i) {
      const Entry& e = m_entries[i];
      struct stat info;
      if (::lstat (native (e.temporary).c_str (), &info) != 0) {
        failure = cannotWrite (e.target, reason (errno));
      } else if (::stat (native (e.target).c_str (), &info) == 0 && S_ISDIR (info.st_mode)) {
        failure = cannotWrite (e.target, reason (EISDIR));
      }
    }
    // The renames.  Each file replaced stays reachable under a backup name
    // until the last rename is through, so that a failure can undo them.
    struct Done
    {
      std::string target;
      std::string backup;   ///< empty: nothing to put back
      bool existed = false;
    };
    std::vector<Done> done;
    for (std::size_t i = 0; failure.isEmpty () && i < m_entries.size (); ++i) {
      const Entry& e = m_entries[i];
      Done step {native (e.target), {}, false};
      struct stat info;
      step.existed = ::lstat (step.target.c_str (), &info) == 0;
      if (step.existed) {
        const std::string backup = native (temporaryName (e.target));
        if (::link (step.target.c_str (), backup.c_str ()) == 0) {
          step.backup = backup;
          r.temporaries.insert (backup);
        } else if (errno != EPERM && errno != EXDEV && errno != ENOTSUP && errno != EOPNOTSUPP && errno != EMLINK
                   && errno != ENOSYS) {
          // Not "no hard links here", which only costs the way back, but a
          // folder that takes no new name: the rename would fail as well.
          failure = cannotWrite (e.target, reason (errno));
          break;
        }
      }
      const std::string from = native (e.temporary);
      if (std::rename (from.c_str (), step.target.c_str ()) != 0) {
        failure = cannotWrite (e.target, reason (errno));
        if (!step.backup.empty ()) {
          ::unlink (step.backup.c_str ());
          r.temporaries.erase (step.backup);
        }
        break;
      }
      r.temporaries.erase (from);
      done.push_back (std::move (step));
    }
    if (!failure.isEmpty ()) {
      // Back to the previous files, the last renamed first.
      int lost = 0;
      for (auto it = done.rbegin (); it != done.rend (); ++it) {
        const bool back = !it->backup.empty () ? std::rename (it->backup.c_str (), it->target.c_str ()) == 0
                          : !it->existed       ? ::unlink (it->target.c_str ()) == 0
                                               : false;
        lost += back ? 0 : 1;
      }
      if (lost > 0) {
        failure += QStringLiteral (" (%1 of the files already in place could not be put back)").arg (lost);
      }
    }
    for (const Done& d : done) {
      if (!d.backup.empty ()) {
        ::unlink (d.backup.c_str ());
        r.temporaries.erase (d.backup);
      }
    }
    m_entries.erase (m_entries.begin (), m_entries.begin () + std::ptrdiff_t (done.size ()));
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

  void removeStaleTemporaries (const QString& folder)
  {
    const QDir dir (folder);
    const QStringList names = dir.entryList ({QStringLiteral (".*.part")},
                                             QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    const qint64 self = ::getpid ();
    for (const QString& name : names) {
      const QRegularExpressionMatch match = temporaryPattern ().match (name);
      if (!match.hasMatch () || match.captured (1) != hostTag ()) {
        continue;
      }
      const qint64 pid = match.captured (2).toLongLong ();
      if (pid <= 0 || pid > std::numeric_limits<pid_t>::max () || pid == self) {
        continue;
      }
      // Signal 0 only asks whether the process exists; EPERM: it does, as
      // another user's.
      if (::kill (pid_t (pid), 0) == 0 || errno != ESRCH) {
        continue;
      }
      ::unlink (native (dir.filePath (name)).c_str ());
    }
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

  QByteArray encodePicture (QImage& picture, const char* format, int quality)
  {
    // A GUI process takes the screen's density (often 96 dpi), a command-line one 100 dpi.
    constexpr int dotsPerMetre = 3780;   // 96 dpi
    picture.setDotsPerMeterX (dotsPerMetre);
    picture.setDotsPerMeterY (dotsPerMetre);
    QByteArray bytes;
    QBuffer buffer (&bytes);
    buffer.open (QIODevice::WriteOnly);
    if (!picture.save (&buffer, format, quality)) {
      return {};
    }
    return bytes;
  }

  QString writePicture (const QString& path, QImage picture, Batch* batch)
  {
    const QByteArray bytes = encodePicture (picture, "JPG", 100);
    if (bytes.isEmpty ()) {
      return cannotWrite (path, QStringLiteral ("the picture could not be compressed"));
    }
    picture = QImage ();
    return writeFile (path, {bytes}, batch);
  }

  // libjpeg reports errors through error_exit, which must not return: it jumps back to the
  // call that started the work.
  struct JpegRows::State
  {
    jpeg_compress_struct cinfo;
    struct Error
    {
      jpeg_error_mgr manager;
      std::jmp_buf back;
      int systemError = 0;
    } error;
    Batch own;
    Batch* batch = nullptr;
    QString path;
    std::FILE* file = nullptr;
    std::vector<JSAMPLE> row;
    bool started = false;
    bool finished = false;

    static void errorExit (j_common_ptr cinfo)
    {
      auto* e = reinterpret_cast<Error*> (cinfo->err);
      e->systemError = errno;
      std::longjmp (e->back, 1);
    }

    Batch& staging ()
    {
      return batch ? *batch : own;
    }

    [[noreturn]] void fail (int systemError)
    {
      const QString message = cannotWrite (path, systemError != 0 ? reason (systemError)
                                                                  : QStringLiteral ("the picture could not be compressed"));
      abandon ();
      throw WriteError (message);
    }

    void abandon ()
    {
      if (started) {
        jpeg_destroy_compress (&cinfo);
        started = false;
      }
      if (file != nullptr) {
        std::fclose (file);
        file = nullptr;
      }
      staging ().remove (path);
    }
  };

  JpegRows::JpegRows (const QString& path, int width, int height, Batch* batch) :
    m_state (new State)
  {
    State& s = *m_state;
    s.batch = batch;
    s.path = path;
    if (width < 1 || height < 1 || width > JPEG_MAX_DIMENSION || height > JPEG_MAX_DIMENSION) {
      delete m_state;
      m_state = nullptr;
      throw WriteError (cannotWrite (path, QStringLiteral ("a JPEG cannot be %1 × %2 pixels").arg (width).arg (height)));
    }
    int fd = -1;
    try {
      fd = s.staging ().open (path, nullptr);
    } catch (...) {
      delete m_state;
      m_state = nullptr;
      throw;
    }
    errno = 0;
    s.file = ::fdopen (fd, "wb");
    if (s.file == nullptr) {
      const int error = errno;
      ::close (fd);
      s.staging ().remove (path);
      delete m_state;
      m_state = nullptr;
      throw WriteError (cannotWrite (path, reason (error)));
    }
    s.cinfo.err = jpeg_std_error (&s.error.manager);
    s.error.manager.error_exit = &State::errorExit;
    if (setjmp (s.error.back)) {
      const int error = s.error.systemError;
      State* state = std::exchange (m_state, nullptr);
      try {
        state->fail (error);
      } catch (...) {
        delete state;
        throw;
      }
    }
    jpeg_create_compress (&s.cinfo);
    s.started = true;
    jpeg_stdio_dest (&s.cinfo, s.file);
    s.cinfo.image_width = JDIMENSION (width);
    s.cinfo.image_height = JDIMENSION (height);
    s.cinfo.input_components = 3;
    s.cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults (&s.cinfo);
    // 96 dots per inch, as encodePicture() states it: the same bytes in every process.
    s.cinfo.density_unit = 1;
    s.cinfo.X_density = 96;
    s.cinfo.Y_density = 96;
    jpeg_set_quality (&s.cinfo, 100, TRUE);
    jpeg_start_compress (&s.cinfo, TRUE);
    s.row.resize (std::size_t (width) * 3);
  }

  JpegRows::~JpegRows ()
  {
    if (m_state != nullptr) {
      if (!m_state->finished) {
        m_state->abandon ();
      }
      delete m_state;
    }
  }

  int JpegRows::rowsWritten () const
  {
    return m_state != nullptr ? int (m_state->cinfo.next_scanline) : 0;
  }

  void JpegRows::write (const QRgb* rows, int count, qsizetype stride)
  {
    if (m_state == nullptr || m_state->finished) {
      throw WriteError (QStringLiteral ("the picture is already complete"));
    }
    State& s = *m_state;
    if (setjmp (s.error.back)) {
      const int error = s.error.systemError;
      State* state = std::exchange (m_state, nullptr);
      try {
        state->fail (error);
      } catch (...) {
        delete state;
        throw;
      }
    }
    const int width = int (s.cinfo.image_width);
    for (int i = 0; i < count && s.cinfo.next_scanline < s.cinfo.image_height; ++i) {
      const QRgb* source = rows + qsizetype (i) * stride;
      for (int x = 0; x < width; ++x) {
        s.row[3 * std::size_t (x)] = JSAMPLE (qRed (source[x]));
        s.row[3 * std::size_t (x) + 1] = JSAMPLE (qGreen (source[x]));
        s.row[3 * std::size_t (x) + 2] = JSAMPLE (qBlue (source[x]));
      }
      JSAMPROW line = s.row.data ();
      jpeg_write_scanlines (&s.cinfo, &line, 1);
    }
  }

  void JpegRows::write (const QImage& band)
  {
    const QImage rgb = band.format () == QImage::Format_RGB32 || band.format () == QImage::Format_ARGB32
                           ? band : band.convertToFormat (QImage::Format_RGB32);
    write (reinterpret_cast<const QRgb*> (rgb.constBits ()), rgb.height (), rgb.bytesPerLine () / qsizetype (sizeof (QRgb)));
  }

  void JpegRows::finish ()
  {
    if (m_state == nullptr || m_state->finished) {
      return;
    }
    State& s = *m_state;
    if (s.cinfo.next_scanline < s.cinfo.image_height) {
      State* state = std::exchange (m_state, nullptr);
      const QString message = cannotWrite (state->path, QStringLiteral ("the picture has %1 of its %2 rows")
                                                            .arg (state->cinfo.next_scanline).arg (state->cinfo.image_height));
      state->abandon ();
      delete state;
      throw WriteError (message);
    }
    if (setjmp (s.error.back)) {
      const int error = s.error.systemError;
      State* state = std::exchange (m_state, nullptr);
      try {
        state->fail (error);
      } catch (...) {
        delete state;
        throw;
      }
    }
    jpeg_finish_compress (&s.cinfo);
    jpeg_destroy_compress (&s.cinfo);
    s.started = false;
    errno = 0;
    const bool flushed = std::fflush (s.file) == 0 && std::ferror (s.file) == 0;
    const int error = errno;
    const bool closed = std::fclose (s.file) == 0;
    s.file = nullptr;
    if (!flushed || !closed) {
      State* state = std::exchange (m_state, nullptr);
      const QString message = cannotWrite (state->path, reason (error != 0 ? error : EIO));
      state->staging ().remove (state->path);
      delete state;
      throw WriteError (message);
    }
    s.finished = true;
    if (s.batch == nullptr) {
      s.own.commit ();
    }
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
