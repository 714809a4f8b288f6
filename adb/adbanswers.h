#ifndef ADBANSWERS_H
#define ADBANSWERS_H

#include <QString>
#include <QStringList>

// How the program reads what adb and the headset answer: adb's notices about its own server,
// the package manager's result lines, and the line forms of `ls` and `pm list packages`.

// The lines of an answer, without line ends (LF, CR LF or CR) and without empty lines.
QStringList answerLines(const QString &text);

// A one-line answer: without its line breaks, and without the white space around it.
QString oneLine(const QString &text);

// adb's notices that its server was started, or restarted because another program's adb is of
// another version. adb says them on the way and then does the work: they never decide anything.
bool isAdbNotice(const QString &line);
QString withoutAdbNotices(const QString &text);
// Whether adb started its server for this command, as far as its notices tell: none was
// running (or another program's was replaced), and it came up or did not.
enum class ServerStart { None, Starting, Started, Failed };
ServerStart serverStart(const QString &err);
// The notice that adb replaced the server of another adb, or empty.
QString otherAdbServerNotice(const QString &err);

// Whether what a command wrote comes from adb itself, which did not reach the device: "error:
// device offline", "adb: device unauthorized.", "adb.exe: ...", "- waiting for device -". A
// shell command's own complaints ("ls: ...: No such file or directory") come from the device.
bool saidByAdb(const QString &err);

// Whether `adb install` or `adb uninstall`, which ran to its own end with this exit code and
// output, succeeded: exit code 0, a line that is exactly "Success" and none that begins with
// "Failure". Otherwise what went wrong: adb's own words, without its notices and progress
// lines, or a plain reason when it said nothing else.
QString packageCommandFailure(int exitCode, const QString &out, const QString &err);

// Whether a failed install's or uninstall's words may mean that the headset went: adb found no
// device, or the link dropped and adb's sentence stops at its colon.
bool mayMeanHeadsetLost(const QString &failure);

// Whether `pm list packages` named exactly this package (it also lists longer names).
bool listsPackage(const QString &pmOutput, const QString &package);

// Whether `ls` named one of these paths on a line of its own (older headsets put its complaints
// about missing paths on the same stream).
bool listsAnyPath(const QString &lsOutput, const QStringList &paths);

#endif // ADBANSWERS_H
