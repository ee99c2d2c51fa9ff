// Output files: staged under temporary names, put in place together, every
// failure told with the system's reason, nothing lost of the previous files.

#include "noise/outputfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
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

namespace {

/// A temporary's name in parts: ".NAME." + "HOST-PID-" + the number + ".part".
struct TemporaryName
{
  QString owner;    ///< "HOST-PID-"
  quint64 number = 0;
  QString host;
};

TemporaryName Parse (const QString& temporary)
{
  static const QRegularExpression pattern ("^\\..*\\.(([0-9a-f]{8})-[0-9]+-)([0-9a-f]{16})\\.part$");
  const QRegularExpressionMatch m = pattern.match (QFileInfo (temporary).fileName ());
  EXPECT_TRUE (m.hasMatch ()) << temporary.toStdString ();
  return {m.captured (1), m.captured (3).toULongLong (nullptr, 16), m.captured (2)};
}

QString NameFor (const QString& folder, const QString& file, const QString& owner, quint64 number)
{
  return QDir (folder).filePath (QStringLiteral (".%1.%2%3.part").arg (file, owner).arg (number, 16, 16, QLatin1Char ('0')));
}

} // namespace

// Someone who can write into the output folder plants symbolic links under
// the names the next temporaries will have: no write goes through them.
TEST (OutputBatchTest, ATemporaryNameTakenBySomeoneElseIsNeverFollowed)
{
  QTemporaryDir dir;
  const QString victim = dir.filePath ("victim.txt");
  Put (victim, "precious");
  Batch batch;
  const TemporaryName first = Parse (batch.write (dir.filePath ("a.obj"), {"a"}));
  for (quint64 next = first.number + 1; next < first.number + 8; ++next) {
    for (const char* file : {"b.obj", "c.jpg", "d.exr"}) {
      ASSERT_EQ (::symlink (QFile::encodeName (victim).constData (),
                            QFile::encodeName (NameFor (dir.path (), file, first.owner, next)).constData ()), 0);
    }
  }
  const QString b = batch.write (dir.filePath ("b.obj"), {"b"});
  {
    orovista::files::JpegRows jpeg (dir.filePath ("c.jpg"), 4, 4, &batch);
    const std::vector<QRgb> rows (16, qRgb (10, 20, 30));
    jpeg.write (rows.data (), 4, 4);
    jpeg.finish ();
  }
  const QString d = batch.reserve (dir.filePath ("d.exr"));
  for (const QString& staged : {b, batch.current (dir.filePath ("c.jpg")), d}) {
    EXPECT_FALSE (QFileInfo (staged).isSymLink ()) << staged.toStdString ();
    EXPECT_TRUE (QFileInfo (staged).isFile ()) << "reserve() claims its name at once";
  }
  batch.commit ();
  EXPECT_EQ (Content (victim), "precious");
  EXPECT_EQ (Content (dir.filePath ("b.obj")), "b");
  EXPECT_TRUE (Content (dir.filePath ("c.jpg")).startsWith ("\xff\xd8\xff"));
}

// What a killed run left is removed at the start of the next; what a run
// still going writes stays, as does what another machine sharing the folder
// writes, and files of the older form that cannot be traced to a process.
TEST (OutputBatchTest, OnlyTheTemporariesOfProcessesThatAreGoneAreRemoved)
{
  QTemporaryDir dir;
  const QString victim = dir.filePath ("victim.txt");
  Put (victim, "precious");
  Batch batch;
  const QString own = batch.write (dir.filePath ("a.obj"), {"a"});
  const TemporaryName ours = Parse (own);

  const pid_t gone = ::fork ();
  if (gone == 0) {
    std::_Exit (0);
  }
  ASSERT_GT (gone, 0);
  ::waitpid (gone, nullptr, 0);
  const pid_t running = ::fork ();
  if (running == 0) {
    ::pause ();
    std::_Exit (0);
  }
  ASSERT_GT (running, 0);
  const QString goneOwner = QStringLiteral ("%1-%2-").arg (ours.host).arg (gone);
  const QString runningOwner = QStringLiteral ("%1-%2-").arg (ours.host).arg (running);
  const QString otherHost = (ours.host == "00000000" ? QStringLiteral ("00000001") : QStringLiteral ("00000000"))
                            + QStringLiteral ("-%1-").arg (gone);

  const QString stale = NameFor (dir.path (), "my Terrain 1.obj", goneOwner, 1);
  const QString staleLink = NameFor (dir.path (), "HI1noisePreview.jpg", goneOwner, 2);
  const QString live = NameFor (dir.path (), "my Terrain 1.obj", runningOwner, 3);
  const QString elsewhere = NameFor (dir.path (), "my Terrain 1.obj", otherHost, 4);
  const QString older = dir.filePath (".my Terrain 1.obj.0123456789abcdef.part");
  const QString notOurs = dir.filePath (QStringLiteral (".notes.%1-%2-x.part").arg (ours.host).arg (gone));
  for (const QString& file : {stale, live, elsewhere, older, notOurs}) {
    Put (file, "x");
  }
  ASSERT_EQ (::symlink (QFile::encodeName (victim).constData (), QFile::encodeName (staleLink).constData ()), 0);

  orovista::files::removeStaleTemporaries (dir.path ());
  ::kill (running, SIGKILL);
  ::waitpid (running, nullptr, 0);

  EXPECT_FALSE (QFileInfo::exists (stale));
  EXPECT_FALSE (QFileInfo (staleLink).isSymLink ());
  EXPECT_EQ (Content (victim), "precious") << "a link is removed, not what it points to";
  for (const QString& kept : {own, live, elsewhere, older, notOurs}) {
    EXPECT_TRUE (QFileInfo::exists (kept)) << kept.toStdString ();
  }
}

// A commit whose renames fail part-way puts back the files it had already
// replaced, and removes those it had added.
TEST (OutputBatchTest, ACommitThatFailsPartWayPutsTheEarlierFilesBack)
{
  QTemporaryDir dir;
  const QString a = dir.filePath ("a.obj"), b = dir.filePath ("b.jpg");
  Put (a, "old a");
  // A name the folder cannot hold: only its rename fails, after the others.
  const QString tooLong = dir.filePath (QString (300, QLatin1Char ('n')) + ".json");
  Batch batch;
  batch.write (a, {"new a"});
  batch.write (b, {"new b"});
  batch.write (tooLong, {"z"});
  try {
    batch.commit ();
    ADD_FAILURE () << "committed a name too long for the folder";
  } catch (const WriteError& e) {
    EXPECT_TRUE (e.message ().endsWith (": File name too long")) << e.message ().toStdString ();
  }
  EXPECT_EQ (Content (a), "old a");
  EXPECT_FALSE (QFileInfo::exists (b));
  EXPECT_EQ (QDir (dir.path ()).entryList (QDir::Files | QDir::Hidden), QStringList {"a.obj"});
}

// A picture abandoned half-way in a shared batch takes only itself away.
TEST (OutputBatchTest, AnAbandonedPictureLeavesTheRestOfItsBatch)
{
  QTemporaryDir dir;
  Batch batch;
  batch.write (dir.filePath ("a.obj"), {"a"});
  {
    orovista::files::JpegRows jpeg (dir.filePath ("c.jpg"), 4, 4, &batch);
    const std::vector<QRgb> rows (4, qRgb (10, 20, 30));
    jpeg.write (rows.data (), 1, 4);
  }
  batch.commit ();
  EXPECT_EQ (Content (dir.filePath ("a.obj")), "a");
  EXPECT_FALSE (QFileInfo::exists (dir.filePath ("c.jpg")));
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
