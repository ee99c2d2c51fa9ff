#pragma once
// Paths inside a Poser content library, one rule for every reader of prop files (the plug-in's
// and the host's): how a name is looked up, and where what a prop reads may lie.
//
// Poser content is written on case-blind file systems, so a reference such as
// ":Runtime:Geometries:trees:oak.obj" is walked from the library folder one name at a time, each
// name taken exactly when that entry exists and otherwise matched without regard to case.
//
// A lexical check ("..", absolute paths) cannot see symbolic links, so what a walk finds is judged
// by where it really is: its path with every link resolved must lie below the Runtime folder's
// path, itself resolved. A library folder reached through a link, or a Runtime folder that is a
// link itself, is therefore fine: the user chose that folder. A link inside the Runtime folder
// that leads out of it is not, whatever it points at; a prop that needs one is refused.
//
// Header-only (Qt Core) so that both readers use the very same code.
#include <QDir>
#include <QFileInfo>
#include <QString>
#include <QStringList>

namespace orovista::poser {

/// name inside folder: the exact entry when it exists, else the first entry (by name) that
/// matches it without regard to case; empty when there is none, and for ".", ".." and names
/// holding "/".
inline QString entryCaseBlind(const QString &folder, const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") || name.contains(QLatin1Char('/')))
        return {};
    const QDir dir(folder);
    if (QFileInfo::exists(dir.filePath(name)))
        return dir.filePath(name);
    const QStringList entries =
        dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &entry : entries)
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    return {};
}

/// Whether path, with every link resolved, lies below folder (resolved too). False when either
/// does not exist.
inline bool liesWithin(const QString &path, const QString &folder)
{
    const QString real = QFileInfo(path).canonicalFilePath();
    QString root = QFileInfo(folder).canonicalFilePath();
    if (real.isEmpty() || root.isEmpty())
        return false;
    if (!root.endsWith(QLatin1Char('/')))
        root += QLatin1Char('/');
    return real.startsWith(root);
}

/// What a walk into a Runtime folder found.
struct RuntimeFile {
    enum Kind {
        Found,     ///< a file that really lies in the Runtime folder
        Missing,   ///< no file of that name
        Outside,   ///< a file, reached through a link, that really lies elsewhere
    };
    Kind kind = Missing;
    /// The file as walked (Found, Outside); for Missing the path as far as names matched, the
    /// rest as given.
    QString path;
    /// The Runtime folder the walk went through; empty when the first name matched nothing.
    QString runtime;
};

/// Walks names from libraryFolder, the first name being that of its Runtime folder.
inline RuntimeFile findInRuntime(const QString &libraryFolder, const QStringList &names)
{
    RuntimeFile out;
    out.path = libraryFolder;
    bool matched = true;
    for (const QString &name : names) {
        const QString next = matched ? entryCaseBlind(out.path, name) : QString();
        matched = !next.isEmpty();
        out.path = matched ? next : QDir(out.path).filePath(name);
        if (out.runtime.isEmpty() && matched)
            out.runtime = out.path;
    }
    if (names.isEmpty() || !matched || !QFileInfo(out.path).isFile())
        return out;
    out.kind = liesWithin(out.path, out.runtime) ? RuntimeFile::Found : RuntimeFile::Outside;
    return out;
}

}   // namespace orovista::poser
