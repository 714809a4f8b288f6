#include "app/cbrelvopico.h"
#include "adb/adbanswers.h"
#include "adb/adbcommands.h"
#include "adb/devicewatcher.h"

#include <QDeadlineTimer>
#include <QDesktopServices>
#include <QFile>
#include <QIcon>
#include <QPainter>
#include <QProcess>
#include <QScopeGuard>
#include <QStyleOption>
#include <QUrl>

#include <cstdlib>

// The images live in the static library; register them before main runs so that every program
// and test linking the library sees them.
static int registerResources()
{
    Q_INIT_RESOURCE(brelvopico);
    return 0;
}
static const int resourcesRegistered = registerResources();

namespace {

const char VideoGuideUrl[] = "https://brelvo.example/pico/install-video";
const char PdfGuideUrl[] = "https://brelvo.example/pico/install-guide.pdf";

QString pictureStyle(const QString &resource)
{
    return QStringLiteral("background-image:url(%0); background-repeat:no-repeat; "
                          "background-position: center; background-origin: content;")
            .arg(resource);
}

// The program runs the native adb of its platform; Windows builds use backslashes in the
// APK paths, which is how those paths have always been written there.
QString localPath(const char *path)
{
    QString result = QString::fromLatin1(path);
#ifdef Q_OS_WIN
    result.replace(QLatin1Char('/'), QLatin1Char('\\'));
#endif
    return result;
}

} // namespace

CBrelvoPico::CBrelvoPico(QWidget *parent, Qt::WindowFlags flags) : QDialog(parent, flags)
{
    ui.setupUi(this);

    ui.youtubePushButton->hide();
    ui.pdfPushButton->hide();
    ui.installationLabel->hide();
    // At 100 % the form's own banner is the one; on a scaled screen it is drawn for the scale.
    if (!qFuzzyCompare(devicePixelRatioF(), 1.0))
        showHeader();
    ui.headerLabel->installEventFilter(this);

    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setWindowIcon(QIcon(QStringLiteral(":/CBrelvoPico/Resources/Brelvo.png")));

    // The window's own sheet first: set last, it would style every widget once more.
    setStyleSheet(QStringLiteral("background-color: #2d2d2d;"));
    ui.youtubePushButton->setStyleSheet(
            pictureStyle(QStringLiteral(":/CBrelvoPico/Resources/YouTube.png")));
    ui.pdfPushButton->setStyleSheet(
            pictureStyle(QStringLiteral(":/CBrelvoPico/Resources/PDF.png")));
    ui.headerLabel->setStyleSheet(QStringLiteral("background-color: #2d2d2d;"));
    ui.installPushButton->setStyleSheet(QStringLiteral("background-color: #e2b639;"));
    ui.uninstallPushButton->setStyleSheet(QStringLiteral("background-color: #e2b639;"));
    ui.closePushButton->setStyleSheet(QStringLiteral("background-color: #2d2d2d; color: #cccccc;"));
    ui.frame->setStyleSheet(QStringLiteral("border: 2px; background-color: #222222;"));
    ui.installationLabel->setStyleSheet(QStringLiteral("color: #cccccc;"));
    ui.welcomeLabel->setStyleSheet(QStringLiteral("color: #cccccc;"));
    ui.logTextEdit->setStyleSheet(QStringLiteral("color: #cccccc;"));
    // A log is only ever appended to: nothing to undo, and keeping it would cost every line.
    ui.logTextEdit->document()->setUndoRedoEnabled(false);

#ifdef Q_OS_WIN
    adbPath = QStringLiteral("./tools/adb.exe");
#else
    adbPath = QStringLiteral("./tools/adb");
#endif
    apkPath = localPath("./BrelvoVRViewer.apk");
    apkPico2Path = localPath("./BrelvoVRViewer-Pico2.apk");
    apkLegacyPath = localPath("./BrelvoVRViewer-Legacy.apk");

    process = new QProcess;
    // Read as it comes, so that only the head of a long answer is ever kept.
    connect(process, &QProcess::readyReadStandardOutput, this, &CBrelvoPico::drainAdbOutput);
    connect(process, &QProcess::readyReadStandardError, this, &CBrelvoPico::drainAdbOutput);

    waitLine.ticks.setInterval(1000);
    waitLine.ticks.setTimerType(Qt::PreciseTimer);
    connect(&waitLine.ticks, &QTimer::timeout, this, &CBrelvoPico::showWaitTime);

    watcher = new DeviceWatcher(this);
    connect(watcher, &DeviceWatcher::devicesChanged, this,
            [this](const QString &listing) { readListing(listing, Telling::Tell); });
    // The server is the program's while one of its commands started it, until it goes.
    connect(watcher, &DeviceWatcher::serverStarted, this, [this] {
        server.ours = true;
        ++server.changes;
    });
    connect(watcher, &DeviceWatcher::serverGone, this, [this] {
        server.ours = false;
        ++server.changes;
    });
    connect(watcher, &DeviceWatcher::otherAdbReplacesServer, this, [this](const QString &notice) {
        server.otherAdbNotice = notice;
        if (!status.busy)
            adviseOnOtherAdb();
    });

    logInfo(QStringLiteral("Starting Rivi Ravazov"));
    for (const QString &error : missingFileErrors({adbPath, apkPath, apkLegacyPath}))
        logError(error);
}

void CBrelvoPico::showHeader()
{
    // The banner as sharp as the screen shows it: drawn from the picture twice as large where
    // the screen is scaled (QIcon finds it beside the other), at the screen's scale exactly.
    const QIcon header(QStringLiteral(":/CBrelvoPico/Resources/Header.png"));
    ui.headerLabel->setPixmap(header.pixmap(QSize(492, 148), devicePixelRatioF()));
}

bool CBrelvoPico::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != ui.headerLabel || event->type() != QEvent::Paint)
        return QDialog::eventFilter(watched, event);
    // QLabel cuts a picture taller than itself at the wrong rows where the screen is scaled (it
    // counts the rows it cuts in the window's pixels, not the picture's): the banner's middle
    // rows are drawn here, the same at every scale.
    QPainter painter(ui.headerLabel);
    QStyleOption option;
    option.initFrom(ui.headerLabel);
    ui.headerLabel->style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, ui.headerLabel);
    const QPixmap banner = ui.headerLabel->pixmap();
    const QRect room = ui.headerLabel->contentsRect();
    painter.drawPixmap(
            QPointF(room.left(),
                    room.top() + (room.height() - banner.deviceIndependentSize().height()) / 2),
            banner);
    return true;
}

void CBrelvoPico::paintEvent(QPaintEvent *event)
{
    // A window moved to a screen of another scale draws its banner anew for it.
    if (!qFuzzyCompare(ui.headerLabel->pixmap().devicePixelRatio(), devicePixelRatioF()))
        showHeader();
    QDialog::paintEvent(event);
    // adb is asked where the headset stands once the window is on the screen, so the window
    // never waits for adb; the answer is told as soon as it comes.
    if (!status.paintedOnce) {
        status.paintedOnce = true;
        QMetaObject::invokeMethod(this, &CBrelvoPico::detectAtStartup, Qt::QueuedConnection);
    }
}

void CBrelvoPico::reject()
{
    // An action waits inside an event loop of its own: leaving only the dialog's would keep
    // the program running without a window until adb ends.
    if (status.busy)
        quitNow();
    QDialog::reject();
}

void CBrelvoPico::quitNow()
{
    stopAdb();
    std::exit(0);
}

// The process is deliberately not deleted (a command still running is stopped first): it may
// be in use by a wait further up the stack when the window goes.
CBrelvoPico::~CBrelvoPico()
{
    stopAdb();
}

void CBrelvoPico::on_closePushButton_clicked()
{
    quitNow();
}

void CBrelvoPico::on_youtubePushButton_clicked()
{
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(VideoGuideUrl), QUrl::TolerantMode));
}

void CBrelvoPico::on_pdfPushButton_clicked()
{
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(PdfGuideUrl), QUrl::TolerantMode));
}

void CBrelvoPico::detectAtStartup()
{
    // Without adb there is nothing to ask; the start-up lines have said so.
    if (!QFile::exists(adbPath))
        return;
    // An action clicked before the first paint tells where the headset stands itself.
    if (!status.busy) {
        beginAction();
        const HeadsetChoice choice = findDevice();
        showConnection(choice, Telling::Tell);
        if (choice.kind == HeadsetChoice::AdbFailed)
            advise(choice.problem);
        endAction();
    }
    // From now on adb reports every change itself.
    watcher->start(adbPath);
}

void CBrelvoPico::runAction(Action action)
{
    // One action at a time: the shared process runs one adb command.
    if (status.busy)
        return;
    beginAction();
    const auto done = qScopeGuard([this] { endAction(); });
    if (reportMissingFiles())
        return;
    const HeadsetChoice choice = detectHeadset();
    if (choice.kind != HeadsetChoice::Ready)
        return;
    const QString line = usingHeadsetLine(choice);
    if (!line.isEmpty())
        logInfo(line);
    (this->*action)(choice.headset.serial);
}

void CBrelvoPico::beginAction()
{
    setBusy();
    // An action begins afresh: the devices are asked again.
    known.answers = {};
    known.unanswered.clear();
}

void CBrelvoPico::endAction()
{
    waitLine.ticks.stop();
    adviseOnOtherAdb();
    setIdle();
    // What the watcher saw meanwhile is known, not told: the action has told what it met.
    if (status.listingHeld)
        readListing(status.heldListing, Telling::Remember);
    // One that rests beside another program's adb follows the devices again.
    watcher->resume();
}

QString CBrelvoPico::missingFileError(const QString &path) const
{
    const QString name = path == adbPath ? QStringLiteral("adb")
            : path == apkLegacyPath      ? QStringLiteral("Brelvo VR Viewer Legacy APK")
            : path == apkPico2Path       ? QStringLiteral("Brelvo VR Viewer Pico Neo 2 APK")
                                         : QStringLiteral("Brelvo VR Viewer APK");
    return QStringLiteral("Error: Cannot find ") + name;
}

QStringList CBrelvoPico::missingFileErrors(const QStringList &paths) const
{
    QStringList errors;
    for (const QString &path : paths) {
        if (!QFile::exists(path))
            errors << missingFileError(path);
    }
    return errors;
}

bool CBrelvoPico::reportMissingFiles()
{
    // An action stops at the first file it lacks.
    const QStringList errors = missingFileErrors({adbPath, apkPath});
    if (!errors.isEmpty())
        logError(errors.first());
    return !errors.isEmpty();
}

HeadsetChoice CBrelvoPico::detectHeadset()
{
    const HeadsetChoice choice = findDevice();
    showConnection(choice, Telling::Remember);
    const StopLine stop = stopLine(choice);
    if (!stop.text.isEmpty())
        logError(stop.text);
    if (!stop.advice.isEmpty())
        logInfo(stop.advice);
    return choice;
}

std::optional<ListedDevice> CBrelvoPico::stillTheHeadset(const QString &headset)
{
    // The devices may have changed since the click; nothing goes to any other device.
    const HeadsetChoice choice = detectHeadset();
    if (choice.kind != HeadsetChoice::Ready)
        return std::nullopt;
    if (choice.headset.serial != headset) {
        logError(QStringLiteral("The connected devices changed while the program was working. "
                                "-> Please keep only the Pico headset connected and try again."));
        return std::nullopt;
    }
    return choice.headset;
}

void CBrelvoPico::stopAdb()
{
    server.ours = watcher->stop() || server.ours;
    // Nothing may land on the headset after the window is gone. A server that adb is starting
    // for the command comes up whether it is stopped or not: it is let come up, and stopped.
    if (process->state() != QProcess::NotRunning) {
        const QDeadlineTimer deadline(DeviceWatcher::ServerStartMs);
        for (drainAdbOutput(); serverStart(QString::fromUtf8(command.err)) == ServerStart::Starting
             && process->state() != QProcess::NotRunning && !deadline.hasExpired();
             drainAdbOutput())
            process->waitForFinished(50);
        server.ours =
                server.ours || serverStart(QString::fromUtf8(command.err)) != ServerStart::None;
        stopAdbCommand();
    }
    // The server would go on running from the program's folder, which then cannot be deleted
    // or replaced; one that was running before, another program's, is left alone.
    if (server.ours) {
        server.ours = false;
        QProcess killer;
        killer.start(adbPath, Adb::killServer());
        if (!killer.waitForFinished(KillServerMs)) {
            killer.kill();
            killer.waitForFinished(-1);
        }
    }
}
