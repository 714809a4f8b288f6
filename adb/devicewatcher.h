#ifndef DEVICEWATCHER_H
#define DEVICEWATCHER_H

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QTimer>

// Follows the devices attached while the program runs, through one long-running
// `adb track-devices -l` of its own: adb writes a listing whenever a device comes, goes or
// changes state, and nothing in between, so watching costs nothing while nothing happens.
class DeviceWatcher : public QObject
{
    Q_OBJECT

public:
    explicit DeviceWatcher(QObject *parent = nullptr);
    ~DeviceWatcher() override;

    void start(const QString &adbPath);
    // Stops adb; nothing is reported afterwards.
    void stop();

signals:
    // The device lines as `adb devices -l` writes them, without its header.
    void devicesChanged(const QString &listing);

private:
    void readListings();
    void restartLater();

    QProcess process;
    QTimer restart;
    QString adbPath;
    QByteArray pending;
    int retryMs = 0;
};

// Takes the complete listings out of what `adb track-devices` wrote so far: each is four hex
// digits giving its length in bytes, then the listing, whose line ends may be LF or CR LF. An
// incomplete one stays in pending; ok turns false when the text is not in that form.
QStringList takeTrackedListings(QByteArray &pending, bool &ok);

#endif // DEVICEWATCHER_H
