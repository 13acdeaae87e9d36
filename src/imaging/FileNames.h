#pragma once

#include "imaging/Result.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <sys/types.h>

#include <memory>

namespace kelvaro {

// File names are bytes to the system, but Qt 6 decodes them as UTF-8 and replaces every byte that
// is not part of valid UTF-8 (old archives still carry Shift_JIS names). Names given on the command
// line therefore travel as QStrings in which each such stray byte b is kept as the lone surrogate
// U+DC00 + b; FileNameBytes gives the exact bytes back for the system calls. Names without stray
// bytes are plain QStrings and work with every Qt file class.

QString FileNameFromBytes(const QByteArray& bytes);
QByteArray FileNameBytes(const QString& name);
// Whether the name holds stray bytes, that is, whether only the functions below can reach it.
bool HoldsStrayBytes(const QString& name);
// The name for messages: stray bytes shown as replacement characters.
QString DisplayFileName(const QString& name);

// What stat() says of a name, following symbolic links.
struct FileStatus {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    mode_t mode = 0;
    qint64 size = 0;
    bool isRegular() const;
    bool isFolder() const;
    // The same file, reached by whatever name (symbolic link, hard link, ./ or ../ detours).
    bool sameFileAs(const FileStatus& other) const;
};
FileStatus StatFile(const QString& name);

// A file opened for reading by its exact bytes. Null with a reason when it cannot be opened;
// folders, empty files and anything but a regular file are refused.
struct OpenedFile {
    std::unique_ptr<QFile> file;
    QString reason;
};
OpenedFile OpenFileForReading(const QString& name);

// Writes the whole file through a temporary file beside it, renamed into place only when every
// byte is written, so a failed write leaves any old file intact and the permissions of an old file
// carry over. Plain names go through QSaveFile.
Result WriteFileAtomically(const QString& name, const QByteArray& bytes);

// The folder part and the last part of a name ("a/b/c.gif" -> "a/b", "c.gif"; "c.gif" -> ".").
QString FolderOfName(const QString& name);
QString LastPartOfName(const QString& name);
QString JoinName(const QString& folder, const QString& part);

// Creates the folder and any missing parents (mkdir -p); the default permissions apply.
Result MakeFolders(const QString& name);
// Creates a new, empty folder beside `name`, named after it with a random ending.
Result MakeTemporaryFolderBeside(const QString& name, QString& created);
// The names in a folder, without "." and "..".
Result ListFolder(const QString& name, QStringList& entries);
Result RenameFile(const QString& from, const QString& to);
// Removes a file or an empty folder; a name that does not exist is no error.
Result RemoveName(const QString& name);

} // namespace kelvaro
