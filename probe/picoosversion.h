#ifndef FIRMWARETEXT_H
#define FIRMWARETEXT_H

#include <QString>

// A property value that reads as a firmware version: it begins with a number and has a ".".
bool isAcceptedPicoOsVersion(const QString &candidate);

// The file name of the OpenXR runtime library that a runtime manifest names, or the default
// library name when the manifest names none that could be a library file.
QString runtimeLibraryName(const QString &manifest);

#endif // FIRMWARETEXT_H
