#ifndef CBRELVOPICO_H
#define CBRELVOPICO_H

#include "app/activitylog.h"
#include "ui_cbrelvopico.h"

#include <QDialog>
#include <QString>
#include <QStringList>

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
    // How long Install and Uninstall wait on adb between two passes of the event loop.
    static constexpr int PollIntervalMs = 500;

    explicit CBrelvoPico(QWidget *parent = nullptr, Qt::WindowFlags flags = {});
    ~CBrelvoPico() override;

    void logInfo(const QString &text);
    void logError(const QString &text);

    // Runs adb with these arguments, each one process argument. Waiting, it fills both outputs
    // and is true when adb ended on its own; start-only, it is true when adb started.
    bool runAdbCommand(QStringList arguments, QString &stdOut, QString &stdErr,
                       bool stripLineBreaks, bool waitForFinish);

    QString findDevice(bool &authorized, bool &isNeo2);
    QString getDeviceModel(const QString &serial);
    QString getExternalStorage(const QString &serial);
    // answered turns false when the headset could not be asked; the caller presets it.
    QString getInstalledPackage(const QString &serial, bool &answered);
    QString getPicoOsVersion(const QString &serial);
    bool hasOpenXrRuntime(const QString &serial);

    bool installPackage();
    bool uninstallPackage();

    // Lets tests and diagnostics shorten the bound on a query; the program keeps AdbTimeoutMs.
    void setAdbTimeout(int milliseconds) { adbTimeout = milliseconds; }

private slots:
    void on_installPushButton_clicked();
    void on_uninstallPushButton_clicked();
    void on_closePushButton_clicked();
    void on_youtubePushButton_clicked();
    void on_pdfPushButton_clicked();

private:
    void appendLogLine(LogKind kind, const QString &text);
    bool adbCouldNotStart() const;
    QString queryHeadset(const QStringList &arguments, bool *answered = nullptr);
    QString adbStartFailure() const;
    // The error lines for the files beside the program that are missing: adb, the OpenXR APK
    // and, when asked, the Legacy APK.
    QStringList missingFileErrors(bool withLegacyApk) const;
    bool reportMissingFiles();
    QString findReadyHeadset(bool &isNeo2);
    void setActionsEnabled(bool enabled);
    void finishAction(const QString &errorPrefix, const QString &successText);

    Ui::CBrelvoPicoClass ui;
    QString adbPath;
    QString apkPath;
    QString apkPico2Path;
    QString apkLegacyPath;
    QProcess *process = nullptr;
    int adbTimeout = AdbTimeoutMs;
};

#endif // CBRELVOPICO_H
