// The log line formatting: whatever the text, the line holds no markup but the template's and
// its own line breaks, and every "&" starts one of the escapes.
#include "fuzzcheck.h"

#include "app/activitylog.h"

#include <QString>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const bool error = data[0] & 1;
    const QString text =
            QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const QString html = logLineHtml(error ? LogKind::Error : LogKind::Info, text);

    const QString head = QStringLiteral("<font color=%1>").arg(error ? "#cc4400" : "#cccccc");
    const QString tail = QStringLiteral("<br/></font>");
    FUZZ_CHECK(html.startsWith(head));
    FUZZ_CHECK(html.endsWith(tail));
    QString body = html.mid(head.size(), html.size() - head.size() - tail.size());
    body.remove(QStringLiteral("<br/>"));
    FUZZ_CHECK(!body.contains(QLatin1Char('<')));
    FUZZ_CHECK(!body.contains(QLatin1Char('>')));
    for (qsizetype at = body.indexOf(QLatin1Char('&')); at >= 0;
         at = body.indexOf(QLatin1Char('&'), at + 1)) {
        const QStringView rest = QStringView(body).mid(at);
        FUZZ_CHECK(rest.startsWith(u"&lt;") || rest.startsWith(u"&gt;") || rest.startsWith(u"&amp;")
                   || rest.startsWith(u"&quot;"));
    }
    for (const QChar c : body)
        FUZZ_CHECK(c.unicode() >= 0x20 || c == u'\t');
    // A line is cut at its length limit; escaping can at most multiply it by six.
    FUZZ_CHECK(body.size() <= 6 * (MaxLogLineLength + 1));
    return 0;
}
