#ifndef DEVICEWATCHER_H
#define DEVICEWATCHER_H

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QTimer>

// Follows the devices attached while the program runs, through one long-running
// `adb track-devices -l` of its own: adb writes a listing whenever a device comes, goes or
// changes state, and nothing in between, so watching costs nothing while nothing happens.
//
// adb ends when its server goes, and is started again after a pause that grows while it keeps
// ending soon. Another program with an adb of another version replaces the server whenever it
// polls, and this adb would replace it back: once it has done so, the watcher rests instead, for
// minutes or until resume().
class DeviceWatcher : public QObject
{
    Q_OBJECT

public:
    // A connection that lasted this long makes the pause short again.
    static constexpr int SteadyMs = 30000;
    // How long the watcher rests while another program's adb keeps replacing the server.
    static constexpr int RestMs = 5 * 60000;
    // How long the empty first listing of a server that has just started waits for devices.
    static constexpr int SettleMs = 3000;
    // How long stop() lets a server come up that adb is starting for the watcher.
    static constexpr int ServerStartMs = 10000;

    explicit DeviceWatcher(QObject *parent = nullptr);
    ~DeviceWatcher() override;

    void start(const QString &adbPath);
    // Starts again at once if it rests or waits to start again.
    void resume();
    // Stops adb; nothing is reported afterwards. A server that adb was starting for it is let
    // come up first, so that it can be stopped: true when adb started one.
    bool stop();
    // Lets tests shorten the rest.
    void setRest(int milliseconds) { restMs = milliseconds; }

signals:
    // The device lines as `adb devices -l` writes them, without its header.
    void devicesChanged(const QString &listing);
    // adb started its server for the watcher.
    void serverStarted();
    // The server that adb followed is gone: stopped, or replaced by another program's adb.
    void serverGone();
    // adb replaced another program's server of another version, and that program replaced it
    // back: the watcher rests. Said once until a connection has stayed up a while.
    void otherAdbReplacesServer(const QString &notice);

private:
    void readListings();
    void readErrors();
    void ended();
    void startLater(int milliseconds);

    QProcess process;
    QTimer restart;
    QTimer settle; // the held first listing of a new server goes out when it fires
    QElapsedTimer running;
    QString adbPath;
    QByteArray pending;
    QByteArray errors; // the head of what this run wrote on its error stream
    QString heldListing;
    bool freshServer = false;
    bool firstListing = true;
    bool framingFault = false;
    bool otherAdbTold = false;
    int retryMs = 0;
    int restMs = RestMs;
};

// Takes the complete listings out of what `adb track-devices` wrote so far: each is four hex
// digits giving its length in bytes, then the listing, whose line ends may be LF or CR LF. An
// incomplete one stays in pending; ok turns false when the text is not in that form.
QStringList takeTrackedListings(QByteArray &pending, bool &ok);

#endif // DEVICEWATCHER_H
