// The firmware version acceptance: an accepted text begins with a digit and contains a ".".
#include "fuzzcheck.h"

#include "probe/picoosversion.h"

#include <QString>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The probe hands over a property value with its white space trimmed.
    const QString candidate =
            QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size)).trimmed();
    if (isAcceptedPicoOsVersion(candidate)) {
        FUZZ_CHECK(!candidate.isEmpty());
        FUZZ_CHECK(candidate.at(0) >= u'0' && candidate.at(0) <= u'9');
        FUZZ_CHECK(candidate.contains(QLatin1Char('.')));
    }
    return 0;
}
