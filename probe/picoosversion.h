#ifndef PICOOSVERSION_H
#define PICOOSVERSION_H

#include <QString>

// A property value that reads as a firmware version: it begins with a number and has a ".".
bool isAcceptedPicoOsVersion(const QString &candidate);

#endif // PICOOSVERSION_H
