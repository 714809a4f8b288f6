#ifndef BENCH_H
#define BENCH_H

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class CBrelvoPico;

QT_BEGIN_NAMESPACE
class QTextEdit;
class QWidget;
QT_END_NAMESPACE

// One end-to-end case: a program folder of its own (its path has a space and a letter beyond
// ASCII, as users' folders do), made the working directory as the program makes its own folder
// at start-up, holding the fake adb in tools/, the APK files asked for and
// the fake adb's scenario; the window, made on first use; and the journal of every argument
// list that adb received.
class Bench
{
public:
    enum Apk { OpenXrApk = 1, LegacyApk = 2, Pico2Apk = 4, AllApks = 7 };

    explicit Bench(const QJsonObject &scenario = {}, int apks = AllApks, bool withAdb = true);
    ~Bench();
    Q_DISABLE_COPY(Bench)

    CBrelvoPico *window();
    // Clicks a button of the window as the user would, with the journal emptied first, and
    // returns the log lines that the click added, the line that says to wait without the
    // seconds it counted. Fails the test when the action left Install, Uninstall or Close
    // disabled.
    QStringList click(const char *button);

    QString path(const QString &relative = QString()) const;
    void setScenario(const QJsonObject &scenario);
    void clearJournal();
    QList<QStringList> journal() const;
    // The argument lists of the fake adbs that are still running, and how often one with these
    // arguments was started.
    QList<QStringList> runningAdb() const;
    int started(const QStringList &args) const;
    void killRunningAdb() const;
    QJsonObject deviceState(int index = 0) const;
    // How many listings the fake adb's `track-devices` have written.
    int trackedListings() const;
    // Lets a replayed `track-devices` stream write its next listing.
    void releaseListing() const;

    static QString adbFileName();
    static QString fakeAdbProgram();

    // Scenario pieces.
    static QJsonObject reply(const QString &out, const QString &err = QString(), int exitCode = 0);
    static QJsonObject replay(const QString &capture); // what the real adb answered there
    static QJsonObject rule(const QStringList &args, const QJsonArray &responses);
    static QJsonObject rule(const QStringList &args, const QJsonObject &response)
    {
        return rule(args, QJsonArray{response});
    }
    static QJsonObject catchAll(const QJsonObject &response);
    static QJsonObject listing(const QString &text) { return rule({"devices", "-l"}, reply(text)); }
    static QJsonObject rules(const QJsonArray &rules) { return {{"rules", rules}}; }

    // A simulated Pico headset: model, firmware version (none when empty), an OpenXR runtime or
    // not, storage at /storage/emulated/0, no app installed.
    static QJsonObject pico(const QString &serial = "PA7L10MGH8", const QString &model = "Pico 4",
                            const QString &version = "5.7.1", bool openXr = true);
    // Simulated devices, with rules that come first.
    static QJsonObject simulated(const QJsonArray &devices, const QJsonArray &rules = {});

private:
    struct StartedAdb
    {
        qint64 pid;
        qint64 startTime;
        QStringList args;
    };
    QList<StartedAdb> startedAdb() const;
    static bool isRunning(const StartedAdb &adb);

    QTemporaryDir dir;
    QString previousDir;
    std::unique_ptr<CBrelvoPico> theWindow;
};

// A capture of the real adb client, kept in tests/data/adb/<name>.json.
struct AdbCapture
{
    QString source; // which adb, and which device
    QString command;
    int exitCode = 0;
    QString out;
    QString err;
};
AdbCapture adbCapture(const QString &name);
QString adbCapturePath(const QString &name);

// The activity log as the user reads it: one entry a line, "I " or "E " for its colour (an
// information or an error line; "? " for any other colour) and the line's text.
QStringList logLines(const QTextEdit *log);
QStringList logLines(const QWidget *window);

// Arranges that, 700 ms after the next click, whether Install, Uninstall and Close are enabled
// is written to enabledDuring, and both actions are clicked again (which must not start them).
void probeButtonsDuringAction(CBrelvoPico *window, QList<bool> &enabledDuring);

#endif // BENCH_H
