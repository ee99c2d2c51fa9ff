// Output files: staged under temporary names, put in place together, every
// failure told with the system's reason, nothing lost of the previous files.

#include "noise/outputfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using orovista::files::Batch;
using orovista::files::WriteError;

namespace {

QByteArray Content (const QString& path)
{
  QFile file (path);
  return file.open (QIODevice::ReadOnly) ? file.readAll () : QByteArray ("<missing>");
}

void Put (const QString& path, const QByteArray& content)
{
  QFile file (path);
  ASSERT_TRUE (file.open (QIODevice::WriteOnly));
  file.write (content);
}

QStringList Temporaries (const QString& folder)
{
  return QDir (folder).entryList ({"*.part"}, QDir::Files | QDir::Hidden);
}

} // namespace

TEST (OutputBatchTest, TargetsChangeOnlyAtCommitAndAllTogether)
{
  QTemporaryDir dir;
  const QString a = dir.filePath ("a.obj"), b = dir.filePath ("b.jpg");
  Put (a, "old a");
  Batch batch;
  const QString staged = batch.write (a, {"new ", "a"});
  batch.write (b, {"b"});
  EXPECT_EQ (Content (a), "old a");
  EXPECT_FALSE (QFile::exists (b));
  EXPECT_EQ (Content (staged), "new a");
  EXPECT_EQ (batch.current (a), staged);
  EXPECT_EQ (batch.current (dir.filePath ("other")), dir.filePath ("other"));

  // A second write of one target replaces the first and leaves no stray file.
  batch.write (b, {"b again"});
  EXPECT_EQ (Temporaries (dir.path ()).size (), 2);

  batch.commit ();
  EXPECT_EQ (Content (a), "new a");
  EXPECT_EQ (Content (b), "b again");
  EXPECT_TRUE (Temporaries (dir.path ()).isEmpty ());
  EXPECT_TRUE (batch.isEmpty ());
}

TEST (OutputBatchTest, AnAbandonedBatchLeavesThePreviousFiles)
{
  QTemporaryDir dir;
  const QString a = dir.filePath ("a.obj");
  Put (a, "old a");
  {
    Batch batch;
    batch.write (a, {"new a"});
    batch.write (dir.filePath ("b.jpg"), {"b"});
    const QString reserved = batch.reserve (dir.filePath ("c.exr"));
    Put (reserved, "exr");
  }
  EXPECT_EQ (Content (a), "old a");
  EXPECT_FALSE (QFile::exists (dir.filePath ("b.jpg")));
  EXPECT_FALSE (QFile::exists (dir.filePath ("c.exr")));
  EXPECT_TRUE (Temporaries (dir.path ()).isEmpty ());
}

TEST (OutputBatchTest, FailuresNameTheFileAndTheReason)
{
  QTemporaryDir dir;
  const QString missing = dir.filePath ("no folder/a.jpg");
  Batch batch;
  try {
    batch.write (missing, {"x"});
    ADD_FAILURE () << "written into a missing folder";
  } catch (const WriteError& e) {
    EXPECT_EQ (e.message (), "cannot write " + missing + ": No such file or directory");
  }
  EXPECT_EQ (orovista::files::writeFile (missing, {"x"}),
             "cannot write " + missing + ": No such file or directory");

  // A folder that takes no files.
  const QString locked = dir.filePath ("locked");
  ASSERT_TRUE (QDir ().mkdir (locked));
  ::chmod (QFile::encodeName (locked).constData (), 0555);
  if (::geteuid () != 0) {
    EXPECT_EQ (orovista::files::writeFile (locked + "/a.jpg", {"x"}),
               "cannot write " + locked + "/a.jpg: Permission denied");
  }
  ::chmod (QFile::encodeName (locked).constData (), 0755);

  // A target that is a folder fails at commit and takes the rest of the batch with it.
  const QString folder = dir.filePath ("folder.jpg");
  ASSERT_TRUE (QDir ().mkdir (folder));
  Batch both;
  both.write (folder, {"x"});
  both.write (dir.filePath ("after.obj"), {"y"});
  EXPECT_THROW (both.commit (), WriteError);
  EXPECT_FALSE (QFile::exists (dir.filePath ("after.obj")));
  EXPECT_TRUE (Temporaries (dir.path ()).isEmpty ());
}

// A file that outgrows what the system lets it take, as on a full disc: the
// failing write is noticed, and the file before it survives.  Run in a child
// process, which alone gets the size limit.
TEST (OutputBatchTest, AShortWriteIsAFailureAndKeepsTheOldFile)
{
  QTemporaryDir dir;
  const QString path = dir.filePath ("big.jpg");
  Put (path, "old");
  EXPECT_EXIT (
    {
      std::signal (SIGXFSZ, SIG_IGN);
      rlimit limit;
      limit.rlim_cur = limit.rlim_max = 4096;
      ::setrlimit (RLIMIT_FSIZE, &limit);
      const QString message = orovista::files::writeFile (path, {QByteArray (100000, 'x')});
      std::exit (message == "cannot write " + path + ": File too large" ? 0 : 1);
    },
    ::testing::ExitedWithCode (0), "");
  EXPECT_EQ (Content (path), "old");
  EXPECT_TRUE (Temporaries (dir.path ()).isEmpty ());
}

TEST (OutputBatchTest, AStoppedProcessLeavesNoTemporaries)
{
  QTemporaryDir dir;
  const QString a = dir.filePath ("a.obj");
  Put (a, "old a");
  EXPECT_EXIT (
    {
      Batch batch;
      batch.write (a, {"new a"});
      orovista::files::removeAllTemporaries ();
      bool refused = false;
      try {
        batch.commit ();
      } catch (const WriteError&) {
        refused = true;
      }
      std::_Exit (refused ? 0 : 1);
    },
    ::testing::ExitedWithCode (0), "");
  EXPECT_EQ (Content (a), "old a");
  EXPECT_TRUE (Temporaries (dir.path ()).isEmpty ());
}

TEST (InputProblemTest, OnlyReadableRegularFilesAreInputs)
{
  QTemporaryDir dir;
  const QString file = dir.filePath ("gradient.bmp");
  Put (file, "x");
  EXPECT_EQ (orovista::files::inputProblem (file), "");
  EXPECT_EQ (orovista::files::inputProblem (dir.filePath ("none.bmp")), "No such file or directory");
  EXPECT_EQ (orovista::files::inputProblem (dir.path ()), "it is a folder");
  EXPECT_EQ (orovista::files::inputProblem (""), "no file name");
  const QString fifo = dir.filePath ("pipe.bmp");
  ASSERT_EQ (::mkfifo (QFile::encodeName (fifo).constData (), 0644), 0);
  EXPECT_EQ (orovista::files::inputProblem (fifo), "not a regular file");
  if (::geteuid () != 0) {
    ::chmod (QFile::encodeName (file).constData (), 0);
    EXPECT_EQ (orovista::files::inputProblem (file), "Permission denied");
  }
}
