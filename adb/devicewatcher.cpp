#include "adb/devicewatcher.h"
#include "adb/adbanswers.h"
#include "adb/adbcommands.h"

#include <QDeadlineTimer>

#include <utility>

namespace {

constexpr int FirstRetryMs = 1000;
constexpr int LastRetryMs = 60000;
// Of its error stream the watcher keeps this much, more than adb's notices ever take.
constexpr qsizetype MaxErrors = 64 * 1024;

} // namespace

QStringList takeTrackedListings(QByteArray &pending, bool &ok)
{
    // adb.exe writes each LF of the stream as CR LF, so a listing is longer than it says: its
    // length counts the LF alone. A CR at the very end may be one whose LF is still to come.
    pending.replace("\r\n", "\n");
    QStringList listings;
    ok = true;
    while (pending.size() >= 4) {
        const qsizetype length = pending.left(4).toInt(&ok, 16);
        if (!ok || length < 0)
            return listings;
        if (pending.size() < 4 + length || (pending.size() == 4 + length && pending.endsWith('\r')))
            break;
        listings << QString::fromUtf8(pending.mid(4, length));
        pending.remove(0, 4 + length);
    }
    return listings;
}

DeviceWatcher::DeviceWatcher(QObject *parent) : QObject(parent)
{
    restart.setSingleShot(true);
    connect(&restart, &QTimer::timeout, this, [this] { start(adbPath); });
    settle.setSingleShot(true);
    connect(&settle, &QTimer::timeout, this, [this] { emit devicesChanged(heldListing); });
    connect(&process, &QProcess::readyReadStandardOutput, this, &DeviceWatcher::readListings);
    connect(&process, &QProcess::readyReadStandardError, this, &DeviceWatcher::readErrors);
    connect(&process, &QProcess::finished, this, &DeviceWatcher::ended);
    connect(&process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            startLater(retryMs = qBound(FirstRetryMs, retryMs * 2, LastRetryMs));
    });
}

DeviceWatcher::~DeviceWatcher()
{
    stop();
}

void DeviceWatcher::start(const QString &adb)
{
    adbPath = adb;
    if (process.state() != QProcess::NotRunning)
        return;
    restart.stop();
    pending.clear();
    errors.clear();
    freshServer = false;
    firstListing = true;
    running.start();
    process.start(adbPath, Adb::trackDevices());
}

void DeviceWatcher::resume()
{
    if (restart.isActive())
        start(adbPath);
}

bool DeviceWatcher::stop()
{
    restart.stop();
    settle.stop();
    // Once stopped it stays so: neither its end nor a timer may start it again.
    process.disconnect(this);
    if (process.state() == QProcess::NotRunning)
        return false;
    // A server that adb is starting comes up whether adb is stopped or not.
    const QDeadlineTimer deadline(ServerStartMs);
    for (readErrors(); serverStart(QString::fromUtf8(errors)) == ServerStart::Starting
         && process.state() != QProcess::NotRunning && !deadline.hasExpired();
         readErrors())
        process.waitForFinished(50);
    process.kill();
    process.waitForFinished(-1);
    const ServerStart start = serverStart(QString::fromUtf8(errors));
    return start == ServerStart::Starting || start == ServerStart::Started;
}

void DeviceWatcher::readErrors()
{
    const QByteArray more = process.readAllStandardError();
    errors += more.left(qMax<qsizetype>(0, MaxErrors - errors.size()));
    if (!freshServer && serverStart(QString::fromUtf8(errors)) != ServerStart::None) {
        freshServer = true;
        emit serverStarted();
    }
}

void DeviceWatcher::readListings()
{
    // adb says that it starts a server before it lists anything.
    readErrors();
    pending += process.readAllStandardOutput();
    bool ok = true;
    for (const QString &listing : takeTrackedListings(pending, ok)) {
        // A server that has just started may not have found the devices yet: its empty first
        // listing is no disconnection, unless nothing follows it for a while.
        if (std::exchange(firstListing, false) && freshServer && listing.trimmed().isEmpty()) {
            heldListing = listing;
            settle.start(SettleMs);
            continue;
        }
        settle.stop();
        emit devicesChanged(listing);
    }
    if (!ok) { // not adb's track form: start afresh
        framingFault = true;
        process.kill();
    }
}

void DeviceWatcher::ended()
{
    readErrors();
    settle.stop();
    // adb follows the devices until its server goes, or until it is stopped for bad framing.
    if (!std::exchange(framingFault, false))
        emit serverGone();
    const bool steady = running.elapsed() >= SteadyMs;
    if (steady) {
        retryMs = 0;
        otherAdbTold = false;
    }
    const QString notice = otherAdbServerNotice(QString::fromUtf8(errors));
    if (!notice.isEmpty() && !steady) {
        startLater(restMs);
        if (!std::exchange(otherAdbTold, true))
            emit otherAdbReplacesServer(notice);
        return;
    }
    startLater(retryMs = qBound(FirstRetryMs, retryMs * 2, LastRetryMs));
}

void DeviceWatcher::startLater(int milliseconds)
{
    restart.start(milliseconds);
}
