// The device listing parse: a serial is a non-empty token of the listing without white space,
// and only a ready device gives one.
#include "fuzzcheck.h"

#include "adb/devicelisting.h"

#include <QString>

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
        // The serial is followed by white space and the ready state.
        const qsizetype at = listing.indexOf(result.serial);
        FUZZ_CHECK(at >= 0);
    }
    return 0;
}
