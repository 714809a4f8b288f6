// The rows of a log entry: whatever the text, at least one row, at most the row limit, none
// with a line break or a control character other than a tab, none empty unless the entry is,
// and no more characters than the limit allows.
#include "fuzzcheck.h"

#include "app/activitylog.h"

#include <QString>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QStringList rows = logRows(text);

    FUZZ_CHECK(!rows.isEmpty() && rows.size() <= MaxLogRows);
    qsizetype characters = 0;
    for (const QString &row : rows) {
        FUZZ_CHECK(!row.isEmpty() || rows.size() == 1);
        for (const QChar c : row) {
            FUZZ_CHECK(c.unicode() >= 0x20 || c == u'\t');
            FUZZ_CHECK(c != QChar::LineSeparator && c != QChar::ParagraphSeparator);
        }
        characters += row.size();
    }
    // The cut adds at most one ellipsis.
    FUZZ_CHECK(characters <= MaxLogLineLength + 1);
    return 0;
}
