#ifndef ADBRUNNER_H
#define ADBRUNNER_H

#include <QByteArray>
#include <QString>

// How one adb command went, and what it printed.
struct AdbRun
{
    enum Outcome {
        Ended, // ran to its own end; exitCode holds how
        CouldNotStart,
        Crashed,
        Stopped, // by the program: after the bound, or when adb waits for a device that is gone
        Refused, // not started: the process still runs another command
    };
    Outcome outcome = CouldNotStart;
    int exitCode = -1;
    QString out;
    QString err;
};

// Of each output stream the program keeps this much, far more than any real answer; the rest is
// read and dropped, so that an adb that never stops talking cannot exhaust the memory.
inline constexpr qsizetype MaxAdbOutput = 1024 * 1024;

#endif // ADBRUNNER_H
