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

#endif // UNINSTALL_H
