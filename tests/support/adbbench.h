#ifndef ADBBENCH_H
#define ADBBENCH_H

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class CBrelvoPico;

QT_BEGIN_NAMESPACE
class QTextEdit;
class QWidget;
QT_END_NAMESPACE

// A program folder for one test: the fake adb in tools/, the APK files the test asks for, a
// scenario for the fake adb, and the journal of what adb was asked. It is made the working
// directory, as the program makes its own folder at start-up.
class AdbBench
{
public:
    enum Apk { OpenXrApk = 1, LegacyApk = 2, Pico2Apk = 4, AllApks = 7 };

    explicit AdbBench(int apks = AllApks, bool withAdb = true);
    ~AdbBench();

    QString path(const QString &relative = QString()) const;
    void setScenario(const QJsonObject &scenario);
    void clearJournal();
    QList<QStringList> journal() const;
    QList<qint64> adbProcessIds() const;
    int runningAdbCount() const;
    void killRunningAdb() const;
    QJsonObject deviceState(int index = 0) const;

    static QString adbFileName();
    static QString fakeAdbProgram();

    // Scenario pieces.
    static QJsonObject reply(const QString &out, const QString &err = QString(), int exitCode = 0);
    static QJsonObject rule(const QStringList &args, const QJsonArray &responses);
    static QJsonObject rule(const QStringList &args, const QJsonObject &response)
    {
        return rule(args, QJsonArray{response});
    }
    static QJsonObject catchAll(const QJsonObject &response);
    static QJsonObject listing(const QString &text) { return rule({"devices", "-l"}, reply(text)); }

    // A simulated Pico headset: model, firmware version (none when empty), an OpenXR runtime or
    // not, storage at /storage/emulated/0, no app installed.
    static QJsonObject pico(const QString &serial = "PA7L10MGH8", const QString &model = "Pico 4",
                            const QString &version = "5.7.1", bool openXr = true);
    static QJsonObject simulated(const QJsonArray &devices) { return {{"devices", devices}}; }

private:
    QTemporaryDir dir;
    QString previousDir;
};

// The activity log as the user reads it: one entry a line, "I " or "E " for its colour (an
// information or an error line; "? " for any other colour) and the line's text.
QStringList logLines(const QTextEdit *log);
QStringList logLines(const QWidget *window);

// Clicks a button of the window as the user would, with the journal emptied first, and returns
// the log lines that the click added. Checks that the action left every button enabled.
QStringList clickAndRead(AdbBench &bench, CBrelvoPico *window, const char *button);

// Arranges that, 700 ms after the next click, whether Install, Uninstall and Close are enabled
// is written to enabledDuring, and both actions are clicked again (which must not start them).
void probeButtonsDuringAction(CBrelvoPico *window, QList<bool> &enabledDuring);

#endif // ADBBENCH_H
