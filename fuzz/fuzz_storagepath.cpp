// The storage path check of Uninstall: an accepted path is made of the allowed characters only,
// and each of the five paths built on it lies inside it.
#include "fuzzcheck.h"

#include "ops/uninstall.h"

#include <QDir>
#include <QString>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString storage =
            QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    if (!isSafeStoragePath(storage))
        return 0;

    FUZZ_CHECK(storage.startsWith(QLatin1Char('/')));
    for (const QChar c : storage) {
        const bool allowed = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')
                || (c >= u'0' && c <= u'9') || c == u'/' || c == u'.' || c == u'_' || c == u'-';
        FUZZ_CHECK(allowed);
    }
    const QString root = QDir::cleanPath(storage);
    FUZZ_CHECK(root != QLatin1String("/"));
    const QStringList paths = appDataPaths(storage);
    FUZZ_CHECK(paths.size() == 5);
    for (const QString &path : paths) {
        FUZZ_CHECK(path.startsWith(storage));
        FUZZ_CHECK(QDir::cleanPath(path).startsWith(root + QLatin1Char('/')));
        FUZZ_CHECK(!path.split(QLatin1Char('/')).contains(QLatin1String("..")));
    }
    return 0;
}
