// The device listing parse: a serial is a non-empty token of the listing without white space,
// and only a ready device gives one.
#include "fuzzcheck.h"

#include "adb/headsetdetection.h"

#include <QString>

static bool followedByReadyState(const QString &listing, const QString &serial)
{
    for (qsizetype at = listing.indexOf(serial); at >= 0; at = listing.indexOf(serial, at + 1)) {
        qsizetype next = at + serial.size();
        if (next >= listing.size() || !listing.at(next).isSpace())
            continue;
        while (next < listing.size() && listing.at(next).isSpace())
            ++next;
        const QStringView rest = QStringView(listing).mid(next);
        if (rest.startsWith(u"device") && (rest.size() == 6 || rest.at(6).isSpace()))
            return true;
    }
    return false;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString listing =
            QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const DeviceListing result = parseDeviceListing(listing);

    if (!result.anyDevice)
        FUZZ_CHECK(result.serial.isEmpty());
    if (result.isNeo2)
        FUZZ_CHECK(!result.serial.isEmpty());
    if (!result.serial.isEmpty()) {
        FUZZ_CHECK(listing.contains(result.serial));
        FUZZ_CHECK(!result.serial.startsWith(QLatin1Char('*')));
        for (const QChar c : result.serial)
            FUZZ_CHECK(!c.isSpace());
        // Somewhere the serial is followed by white space and the ready state.
        FUZZ_CHECK(followedByReadyState(listing, result.serial));
    }
    return 0;
}
