#include "adb/devicewatcher.h"
#include "adb/adbcommands.h"

namespace {

// adb stops when its server is stopped, for one by another program's adb of another version;
// it is started again after a pause that grows while it keeps stopping.
constexpr int FirstRetryMs = 1000;
constexpr int LastRetryMs = 60000;

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
    connect(&process, &QProcess::readyReadStandardOutput, this, &DeviceWatcher::readListings);
    // What adb says on its error stream (its notices, a server that would not start) is of no
    // use here: the actions say what matters when they run.
    process.setStandardErrorFile(QProcess::nullDevice());
    connect(&process, &QProcess::finished, this, &DeviceWatcher::restartLater);
    connect(&process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            restartLater();
    });
}

DeviceWatcher::~DeviceWatcher()
{
    stop();
}

void DeviceWatcher::start(const QString &adb)
{
    adbPath = adb;
    pending.clear();
    if (process.state() == QProcess::NotRunning)
        process.start(adbPath, Adb::trackDevices());
}

void DeviceWatcher::stop()
{
    restart.stop();
    // Once stopped it stays so: neither its end nor a timer may start it again.
    process.disconnect(this);
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(-1);
    }
}

void DeviceWatcher::readListings()
{
    pending += process.readAllStandardOutput();
    bool ok = true;
    const QStringList listings = takeTrackedListings(pending, ok);
    if (!listings.isEmpty())
        retryMs = 0;
    for (const QString &listing : listings)
        emit devicesChanged(listing);
    if (!ok) // not adb's track form: start afresh
        process.kill();
}

void DeviceWatcher::restartLater()
{
    retryMs = qBound(FirstRetryMs, retryMs * 2, LastRetryMs);
    restart.start(retryMs);
}
