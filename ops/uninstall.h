#ifndef UNINSTALL_H
#define UNINSTALL_H

#include <QString>
#include <QStringList>

// Whether a storage path read from the headset can safely prefix the paths that Uninstall
// deletes: an absolute path of letters, digits, "/", ".", "_" and "-" only, that is not the
// root and does not climb out of itself with "..".
bool isSafeStoragePath(const QString &storage);

// The app's five data folders and files under the headset's storage path.
QStringList appDataPaths(const QString &storage);

// Which of these paths `rm -r` may have left, by what it said: those its complaints name, but
// for a path that is not there at all; every one when a complaint names none of them.
QStringList pathsLeft(const QStringList &paths, const QString &rmSaid);

#endif // UNINSTALL_H
