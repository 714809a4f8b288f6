// The runtime manifest search: the library name is a plain file name, never a path and never
// anything the headset's shell would read as more than one word.
#include "fuzzcheck.h"

#include "probe/openxrruntime.h"

#include <QString>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString manifest =
            QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString name = runtimeLibraryName(manifest);
    FUZZ_CHECK(!name.isEmpty());
    FUZZ_CHECK(!name.contains(QLatin1Char('/')));
    for (const QChar c : name) {
        const bool plain = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')
                || (c >= u'0' && c <= u'9') || c == u'.' || c == u'_' || c == u'-' || c == u'+';
        FUZZ_CHECK(plain);
    }
    FUZZ_CHECK(name == QLatin1String("libopenxr_forwardloader.so") || manifest.contains(name));
    return 0;
}
