#ifndef OPENXRRUNTIME_H
#define OPENXRRUNTIME_H

#include <QString>

// The file name of the OpenXR runtime library that a runtime manifest names, or the default
// library name when the manifest names none that could be a library file.
QString runtimeLibraryName(const QString &manifest);

#endif // OPENXRRUNTIME_H
