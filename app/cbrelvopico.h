#ifndef CBRELVOPICO_H
#define CBRELVOPICO_H

#include "adb/adbrunner.h"
#include "adb/headsetdetection.h"
#include "app/activitylog.h"
#include "ui_cbrelvopico.h"

#include <QByteArray>
#include <QDialog>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>

class DeviceWatcher;

QT_BEGIN_NAMESPACE
class QProcess;
QT_END_NAMESPACE

// The one window of the program: it owns the form, the paths of the files that lie beside the
// program, and the single QProcess on which every adb command runs.
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

    // Runs adb with these arguments, each one process argument: to its end (or the bound), or,
    // not waiting, until it has started.
    AdbRun runAdbCommand(const QStringList &arguments, bool waitForFinish = true);

    HeadsetChoice findDevice();
    // Its maker, as the device says: ro.product.manufacturer, else ro.product.brand.
    QString getDeviceMaker(const QString &serial);
    QString getDeviceModel(const QString &serial);
    QString getExternalStorage(const QString &serial);
    // answered turns false when the headset could not be asked; the caller presets it.
    QString getInstalledPackage(const QString &serial, bool &answered);
    QString getPicoOsVersion(const QString &serial);
    bool hasOpenXrRuntime(const QString &serial);

    // Each starts its command on the headset the click found, when that is still the one to use.
    bool installPackage(const QString &headset);
    bool uninstallPackage(const QString &headset);
    // Removes the app's data folders, once the app itself is gone.
    void removeAppData(const QString &serial);

    // Let tests and diagnostics shorten the bound on a query and the wait before the word on
    // long installs; the program keeps AdbTimeoutMs and LongWaitMs.
    void setAdbTimeout(int milliseconds) { adbTimeout = milliseconds; }
    void setLongWait(int milliseconds) { longWait = milliseconds; }

    // Escape or closing the window: during an action, the program ends at once, as with Close.
    void reject() override;

protected:
    void paintEvent(QPaintEvent *event) override;

private slots:
    void on_installPushButton_clicked();
    void on_uninstallPushButton_clicked();
    void on_closePushButton_clicked();
    void on_youtubePushButton_clicked();
    void on_pdfPushButton_clicked();

private:
    // Appends an entry and returns the block number of its first row.
    int appendLogLine(LogKind kind, const QString &text);
    // Replaces the text of the one-row entry that begins at that block.
    void replaceLogLine(int block, LogKind kind, const QString &text);
    void scrollLogToEnd();

    void drainAdbOutput();
    // Serves the event loop until the command ends, or until the bound passes (none when
    // negative); false when it is still running.
    bool waitForAdb(int bound);
    AdbRun adbRunResult(bool stopped);
    void stopAdbCommand();
    // At the end: the watcher, the command that runs, and the server the program started.
    void stopAdb();
    bool adbCouldNotStart() const;
    QString adbStartFailure() const;
    QString adbProblem(const AdbRun &run) const;
    QString queryHeadset(const QStringList &arguments, bool keepLineBreaks = false,
                         bool *answered = nullptr);
    // An information line with plain-words advice on what adb or the headset said, when there
    // is some; once an action or the start-up detection is over, a word on another program's
    // adb, when adb replaced its server meanwhile.
    void advise(const QString &said);
    void logErrorWithAdvice(const QString &text);
    void adviseOnOtherAdb();

    // The error line for a file beside the program that is missing, and those lines for adb,
    // the OpenXR APK and, when asked, the Legacy APK.
    QString missingFileError(const QString &path) const;
    QStringList missingFileErrors(bool withLegacyApk) const;
    bool reportMissingFiles();
    // Asks the devices that their listing leaves in doubt, once while the answers are kept.
    void askDevices(const QList<ListedDevice> &devices);
    bool hasDevicesToAsk(const QList<ListedDevice> &devices) const;
    // The headset to work on, or an empty serial once the reason is logged.
    QString detectHeadset(bool announce, bool &isNeo2);
    // Why no headset can be used, as the error line says it.
    QString noHeadsetReason(const HeadsetChoice &choice) const;
    bool isStillTheHeadset(const QString &headset, bool &isNeo2);
    // While busy, Install and Uninstall are out of reach: the shared process runs one command.
    // An action begins afresh: the devices are asked again.
    void setBusy(bool working);
    void beginAction();
    void endAction();
    // Logs the line that says to wait, which counts the seconds while adb installs or uninstalls.
    void logWaitLine(const QString &text);
    void showWaitTime();
    // Waits for the install or uninstall command on the headset; logs what went wrong, if
    // anything.
    bool finishAction(const QString &errorPrefix, const QString &headset);

    void detectAtStartup();
    void devicesChanged(const QString &listing);
    void readListing(const QString &listing, bool tell);
    // Tells where the headset stands, or (not telling) only remembers it.
    void showConnection(const HeadsetChoice &choice, bool atStartup, bool tell);
    [[noreturn]] void quitNow();

    Ui::CBrelvoPicoClass ui;
    QString adbPath;
    QString apkPath;
    QString apkPico2Path;
    QString apkLegacyPath;
    QProcess *process = nullptr;
    bool adbStarted = false; // the last command
    bool startedServer = false; // adb started its server for one of the program's commands
    QString otherAdbNotice; // adb replaced another program's server since the last word on it
    QString unanswered; // what the last query that got no answer said instead
    DeviceAnswers deviceAnswers; // kept for one action, or for one listing of the watcher
    QList<ListedDevice> answeredDevices; // the listing they answered for
    QByteArray adbOut; // the heads of its output
    QByteArray adbErr;
    int adbTimeout = AdbTimeoutMs;
    int longWait = LongWaitMs;

    bool busy = false;
    bool paintedOnce = false;
    DeviceWatcher *watcher = nullptr;
    QString connectionState; // of the last connection line
    QString pendingListing; // what the watcher said while the process was busy
    bool listingPending = false;

    struct WaitLine
    {
        int block = -1;
        QString text;
        QElapsedTimer clock;
        bool longWaitSaid = false;
    } waitLine;
};

#endif // CBRELVOPICO_H
