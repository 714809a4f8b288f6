#ifndef CBRELVOPICO_H
#define CBRELVOPICO_H

#include "adb/adbrunner.h"
#include "adb/devicelisting.h"
#include "app/activitylog.h"
#include "app/headsetmessages.h"
#include "ui_cbrelvopico.h"

#include <QByteArray>
#include <QDialog>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <optional>

class DeviceWatcher;

QT_BEGIN_NAMESPACE
class QProcess;
QT_END_NAMESPACE

// A question to a device is answered, answered "no" (its command ran there and failed, as `ls`
// of a missing file does), or not answered (adb could not reach it, or it did not answer in
// time). What was said instead: the command's complaints, or why there was no answer.
struct HeadsetAnswer
{
    enum Kind { Answered, AnsweredNo, NotAnswered };
    Kind kind = Answered;
    QString text; // standard output, line breaks and all
    QString instead;
};

// The one window of the program: it owns the form, the paths of the files that lie beside the
// program, and the single QProcess on which every adb command runs. Its members live in the file
// of what they do, and call one way: the actions, the window's life and status, finding the
// headset, the questions put to it, running adb.
class CBrelvoPico : public QDialog
{
    Q_OBJECT

public:
    // How long a query may take before the runner gives up on adb and stops it.
    static constexpr int AdbTimeoutMs = 30000;
    // After this long an install or uninstall gets a word on why it may take a while.
    static constexpr int LongWaitMs = 120000;
    // How long the program waits at its end for adb to stop the server it started.
    static constexpr int KillServerMs = 5000;

    explicit CBrelvoPico(QWidget *parent = nullptr, Qt::WindowFlags flags = {});
    ~CBrelvoPico() override;

    void logInfo(const QString &text);
    void logError(const QString &text);

    // Runs adb with these arguments, each one process argument, to its end or the bound.
    AdbRun runAdbCommand(const QStringList &arguments);
    // Only starts it, when no other command runs; the caller waits for it.
    bool startAdbCommand(const QStringList &arguments);

    HeadsetChoice findDevice();
    // Its maker, as the device says: ro.product.manufacturer, else ro.product.brand.
    QString getDeviceMaker(const QString &serial);
    QString getDeviceModel(const QString &serial);
    QString getExternalStorage(const QString &serial);
    // "package:com.Brelvo.BrelvoVRViewer", or empty when it is not installed.
    HeadsetAnswer getInstalledPackage(const QString &serial);
    QString getPicoOsVersion(const QString &serial);
    bool hasOpenXrRuntime(const QString &serial);

    // Each starts its command on the headset the click found, when that is still the one to use.
    bool installPackage(const QString &headset);
    bool uninstallPackage(const QString &headset);
    // Removes the app's data folders, once the app itself is gone.
    void removeAppData(const QString &serial);

    // Let tests and diagnostics shorten the bound on a query and the wait before the word on
    // long installs; the program keeps AdbTimeoutMs and LongWaitMs.
    void setAdbTimeout(int milliseconds) { command.timeout = milliseconds; }
    void setLongWait(int milliseconds) { waitLine.longWait = milliseconds; }

    // Escape or closing the window: during an action, the program ends at once, as with Close.
    void reject() override;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void on_installPushButton_clicked();
    void on_uninstallPushButton_clicked();
    void on_closePushButton_clicked();
    void on_youtubePushButton_clicked();
    void on_pdfPushButton_clicked();

private:
    // An action's own steps, on the headset that its click found (ops/).
    using Action = void (CBrelvoPico::*)(const QString &headset);
    void install(const QString &headset);
    void uninstall(const QString &headset);

    // The window's life (app/cbrelvopico.cpp). One action at a time, from the click's checks
    // (the files, the headset) to its end.
    void detectAtStartup();
    void showHeader();
    void runAction(Action action);
    void beginAction();
    void endAction();
    // The error line for a file beside the program that is missing.
    QString missingFileError(const QString &path) const;
    QStringList missingFileErrors(const QStringList &paths) const;
    bool reportMissingFiles();
    // The headset to work on, or a choice of another kind once the reason is logged.
    HeadsetChoice detectHeadset();
    // The headset again, when it is still the one the click found; else the reason is logged.
    std::optional<ListedDevice> stillTheHeadset(const QString &headset);
    // At the end: the watcher, the command that runs, and the server the program started.
    void stopAdb();
    [[noreturn]] void quitNow();

    // The status line (app/devicestatus.cpp). While busy, Install and Uninstall are out of
    // reach (the shared process runs one command) and the watcher's listings wait.
    enum class Telling { Tell, Remember };
    void setBusy();
    void setIdle();
    void readListing(const QString &listing, Telling telling);
    // What an action finds is told by the action: the status line does not say it again.
    void showConnection(const HeadsetChoice &choice, Telling telling);

    // The activity log (app/activitylog.cpp). An entry's number is that of its first row.
    int appendLogLine(LogKind kind, const QString &text);
    void replaceLogLine(int block, LogKind kind, const QString &text);
    void scrollLogToEnd();
    // Plain-words advice on what adb or the headset said, when the program knows it; after an
    // action, a word on another program's adb, when adb replaced its server meanwhile.
    void advise(const QString &said);
    void logErrorWithAdvice(const QString &text);
    void adviseOnOtherAdb();

    // A listing from a server that has just started is asked again while its devices are still
    // being connected, this often and this far apart.
    static constexpr int SettleAttempts = 16;
    static constexpr int SettleMs = 250;
    // Asks the devices that their listing leaves in doubt, once while the answers are kept.
    void askDevices(const QList<ListedDevice> &devices);
    bool hasDevicesToAsk(const QList<ListedDevice> &devices) const;
    HeadsetAnswer queryHeadset(const QStringList &arguments);

    void drainAdbOutput();
    // Serves the event loop for this long.
    void pauseFor(int milliseconds);
    // Serves the event loop until the command ends, or until the bound passes (none when
    // negative); false when it is still running.
    bool waitForAdb(int bound);
    // How the command went that ended, or that the program stopped.
    AdbRun adbRunResult(AdbRun::Outcome ending);
    void stopAdbCommand();
    QString adbStartFailure() const;
    QString adbNoAnswer() const;
    QString adbProblem(const AdbRun &run) const;

    // The line that says to wait counts the seconds while adb installs or uninstalls; then
    // what went wrong, if anything, is logged (ops/packageaction.cpp).
    void logWaitLine(const QString &text);
    void showWaitTime();
    enum class PackageVerb { Install, Uninstall };
    bool finishAction(PackageVerb verb, const QString &headset);
    QString failureReason(const AdbRun &run, PackageVerb verb, const QString &headset,
                          int serverChanges);

    Ui::CBrelvoPicoClass ui;
    QString adbPath;
    QString apkPath;
    QString apkPico2Path;
    QString apkLegacyPath;
    QProcess *process = nullptr;
    DeviceWatcher *watcher = nullptr;

    // The command on process.
    struct Command
    {
        bool started = false;
        QByteArray out; // the heads of its output
        QByteArray err;
        int timeout = AdbTimeoutMs;
    } command;

    struct Server
    {
        bool ours = false; // adb started it for one of the program's commands, the watcher's too
        int changes = 0; // how often a server was started, or the watcher's went
        QString otherAdbNotice; // adb replaced another program's server since the last word on it
        bool otherAdbTold = false; // the word is said once
    } server;

    // What the devices said of themselves, kept for one action or one listing of the watcher.
    struct Known
    {
        DeviceAnswers answers;
        QList<ListedDevice> devices; // the listing they answered for
        QString unanswered; // what was said instead of the first answer that did not come
    } known;

    struct Status
    {
        bool busy = false;
        bool paintedOnce = false;
        QString state; // of the last status line
        bool devicesListed = false; // by it
        QString heldListing; // what the watcher said while the process was busy
        bool listingHeld = false;
    } status;

    // It counts the seconds from its first appearance, through the questions and the command.
    struct WaitLine
    {
        int block = -1;
        QString text;
        QElapsedTimer clock;
        QTimer ticks;
        bool longWaitSaid = false;
        int longWait = LongWaitMs;
    } waitLine;
};

#endif // CBRELVOPICO_H
