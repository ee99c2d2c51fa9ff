// outputfiles.h
//
// Writing files so that a failure is noticed, told in the system's own
// words, and never costs the user a file they had.

#ifndef OROVISTA_NOISE_OUTPUTFILES_H
#define OROVISTA_NOISE_OUTPUTFILES_H

#include <QByteArrayView>
#include <QImage>
#include <QList>
#include <QString>

#include <stdexcept>
#include <vector>

namespace orovista::files
{

  /// The system's words for an error number ("No space left on device").
  QString reason (int errorNumber);

  /// "cannot write PATH: REASON".
  QString cannotWrite (const QString& path, const QString& reason);

  /// A file that could not be written.  what() holds the whole message in
  /// UTF-8; message() gives it back as text.
  class WriteError : public std::runtime_error
  {
    public:
      explicit WriteError (const QString& message);
      QString message () const;
  };

  /// The files of one run, written under temporary names beside their
  /// targets and put in place together.
  ///
  /// Every write, and the close of every file, is checked: the first that
  /// fails throws WriteError naming the target and the system's reason.
  /// Until commit() nothing under a target's name changes, so a run that
  /// fails or is stopped leaves the previous run's files as they were; the
  /// destructor removes the temporary files of a batch never committed.
  ///
  /// A temporary file is hidden and named after its target, this machine
  /// and this process (".NAME.HOST-PID-N.part"), so that the temporaries a
  /// killed process left behind can be told from those of a run still going
  /// (removeStaleTemporaries()).  It is always created anew, never opened
  /// through an existing name or a symbolic link.
  ///
  /// Renaming is atomic per file, not for the batch: commit() renames the
  /// files one after another.  It first checks that every temporary file is
  /// still there and that no target is a folder, then keeps each file it
  /// replaces under a second hidden name (a hard link) until the last rename
  /// is through.  A rename that fails half-way (the folder changed, became
  /// read-only or full in between) puts the files already replaced back and
  /// removes those that were new, so the previous run's files stay whole;
  /// only where the file system takes no hard links, or the process is
  /// killed during the renames themselves, can a mix of old and new files
  /// remain.
  class Batch
  {
    public:
      Batch ();
      ~Batch ();
      Batch (const Batch&) = delete;
      Batch& operator= (const Batch&) = delete;

      /// Writes the parts, one after another, as the new content of path.
      /// Returns the temporary file that holds it until commit().
      QString write (const QString& path, const QList<QByteArrayView>& parts);

      /// Creates an empty temporary file beside path for a writer that
      /// writes it itself (OpenEXR), and returns its name.  The file written
      /// there becomes path at commit() and is removed with the batch
      /// otherwise.
      QString reserve (const QString& path);

      /// As reserve(), but hands over the open descriptor of the new file
      /// (opened for writing; the caller closes it).  @throw WriteError.
      int open (const QString& path, QString* temporary);

      /// Where path's new content is now: its temporary file, or path when
      /// the batch holds nothing for it.  Paths that name the same file
      /// (relative or absolute, with "." or "..") are one target.
      QString current (const QString& path) const;

      /// Removes the file staged for path, if any: path keeps what it had.
      void remove (const QString& path);

      /// Puts every file in place, in the order they were written (see the
      /// class comment for a failure part-way).  @throw WriteError.
      void commit ();

      /// Removes every file not yet in place.
      void discard ();

      bool isEmpty () const
      {
        return m_entries.empty ();
      }

    private:
      struct Entry
      {
        QString temporary;
        QString target;
        QString key;   ///< the target as an absolute, clean path
      };
      void add (const QString& temporary, const QString& target);
      std::vector<Entry> m_entries;
  };

  /// Removes, from folder, the temporary files of the batches of processes
  /// of this program on this machine that no longer run (killed before
  /// they could clean up).  Temporaries of processes still running, of this
  /// process, and of other machines sharing the folder stay.  For the start
  /// of a run that writes into folder.
  void removeStaleTemporaries (const QString& folder);

  /// Writes one file, in place only when complete, or stages it in batch
  /// when one is given.  Returns an empty string, or the message of the
  /// failure.
  QString writeFile (const QString& path, const QList<QByteArrayView>& parts, Batch* batch = nullptr);

  /// The picture compressed in memory (format "JPG" or "PNG", quality as
  /// QImage::save takes it), stating 96 dots per inch whatever the screen:
  /// the same picture gives the same bytes in the window and on the command
  /// line.  Empty when it could not be compressed.
  QByteArray encodePicture (QImage& picture, const char* format, int quality = -1);

  /// Writes a picture as a JPEG of quality 100, compressed in memory first
  /// so that the file's writes are checked one by one.  The picture is
  /// released before the file is written (pass it with std::move to save
  /// the copy).  Returns an empty string, or the message of the failure.
  QString writePicture (const QString& path, QImage picture, Batch* batch = nullptr);

  /// A JPEG of quality 100 written a band of rows at a time, so that a
  /// picture of any size needs only the rows at hand in memory.  The bytes
  /// are those writePicture() writes for the same pixels (the same encoder,
  /// settings and density), so callers may switch freely.  Rows go top to
  /// bottom; the file becomes path (or is staged in the batch) at finish().
  /// A writer destroyed before finish() leaves no file behind (and takes
  /// nothing else out of the batch).
  class JpegRows
  {
    public:

      /// Starts the file.  @throw WriteError when it cannot be created.
      JpegRows (const QString& path, int width, int height, Batch* batch = nullptr);
      ~JpegRows ();
      JpegRows (const JpegRows&) = delete;
      JpegRows& operator= (const JpegRows&) = delete;

      /// Appends count rows of width RGB32 pixels, stride pixels apart.
      /// @throw WriteError when the file cannot be written.
      void write (const QRgb* rows, int count, qsizetype stride);
      /// Appends every row of band (which must be width pixels wide).
      void write (const QImage& band);
      /// The rows written so far.
      int rowsWritten () const;
      /// Completes the file after the last row.  @throw WriteError.
      void finish ();

    private:
      struct State;
      State* m_state;
  };

  /// Removes the temporary files of every batch of the process, waiting for
  /// a commit in progress to end; no batch commits afterwards.  For a
  /// process about to exit on a signal.
  void removeAllTemporaries ();

  /// Why path cannot be read as an input file: missing, not a regular file
  /// (a folder, a FIFO, a device), or not readable.  Empty when it can.
  QString inputProblem (const QString& path);

}

#endif
