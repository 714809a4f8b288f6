// Draws the program's pictures: the header banner, the app icon (also as a Windows .ico of five
// sizes) and the two help-link symbols, each also twice as large ("@2x") for screens scaled to
// 125 % and more. Run it after changing the artwork and commit the results:
//     imagegen <resources folder>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtEndian>

#include <cstdio>

namespace {

const QColor Panel(0x2d, 0x2d, 0x2d);
const QColor Deep(0x1b, 0x1b, 0x1b);
const QColor Yellow(0xe2, 0xb6, 0x39);
const QColor Light(0xcc, 0xcc, 0xcc);

// A picture of this size in the window's pixels, drawn at a scale.
QImage blank(int width, int height, qreal scale = 1)
{
    QImage image(qRound(width * scale), qRound(height * scale),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// A headset seen from the front: a rounded visor with two lenses and a strap.
void drawHeadset(QPainter &p, const QRectF &box, const QColor &body, const QColor &lens)
{
    const qreal w = box.width();
    const qreal h = box.height();
    QPainterPath strap;
    strap.addRoundedRect(QRectF(box.left(), box.top() + h * 0.38, w, h * 0.16), h * 0.08, h * 0.08);
    p.fillPath(strap, body.darker(130));

    const QRectF visor(box.left() + w * 0.08, box.top() + h * 0.12, w * 0.84, h * 0.70);
    QPainterPath shell;
    shell.addRoundedRect(visor, h * 0.22, h * 0.22);
    QPainterPath nose;
    nose.addEllipse(QPointF(visor.center().x(), visor.bottom()), w * 0.09, h * 0.16);
    p.fillPath(shell.subtracted(nose), body);

    const qreal r = h * 0.17;
    for (qreal cx : {visor.left() + visor.width() * 0.29, visor.left() + visor.width() * 0.71}) {
        QRadialGradient glow(QPointF(cx - r * 0.3, visor.center().y() - r * 0.3), r * 1.4);
        glow.setColorAt(0, lens.lighter(160));
        glow.setColorAt(1, lens);
        p.setBrush(glow);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(cx, visor.center().y() - h * 0.02), r, r);
    }
}

QImage appIcon(int size)
{
    QImage image = blank(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal inset = size * 0.04;
    const QRectF tile(inset, inset, size - 2 * inset, size - 2 * inset);
    QLinearGradient fill(tile.topLeft(), tile.bottomRight());
    fill.setColorAt(0, Yellow.lighter(115));
    fill.setColorAt(1, Yellow.darker(115));
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(tile, size * 0.22, size * 0.22);
    drawHeadset(p, QRectF(size * 0.14, size * 0.24, size * 0.72, size * 0.52), Panel, Deep);
    return image;
}

// The window's layout may give the header less than its full height, cutting rows off the top
// and bottom alike, so everything that matters stays within the middle 110 rows.
QImage header(qreal scale)
{
    QImage image = blank(492, 148, scale);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
    QLinearGradient fill(0, 0, 0, 148);
    fill.setColorAt(0, Panel.lighter(115));
    fill.setColorAt(1, Deep);
    p.fillRect(QRectF(0, 0, 492, 148), fill);

    // Soft rings behind the headset suggest depth without any brand's shapes.
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 4; ++i) {
        QColor ring = Yellow;
        ring.setAlpha(60 - i * 12);
        p.setPen(QPen(ring, 2));
        p.drawEllipse(QPointF(88, 74), 46.0 + i * 16, 46.0 + i * 16);
    }
    drawHeadset(p, QRectF(40, 44, 96, 62), Yellow, Deep);

    QFont title(QStringLiteral("DejaVu Sans"));
    title.setPixelSize(40);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Light);
    p.drawText(QRectF(170, 34, 310, 48), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Brelvo Pico"));

    QFont subtitle(QStringLiteral("DejaVu Sans"));
    subtitle.setPixelSize(15);
    p.setFont(subtitle);
    p.setPen(Yellow);
    p.drawText(QRectF(172, 84, 310, 24), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("VR Viewer installation manager"));
    return image;
}

QImage playSymbol(qreal scale)
{
    QImage image = blank(43, 36, scale);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
    p.setPen(QPen(Yellow, 2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(4, 4, 35, 28), 6, 6);
    QPainterPath triangle;
    triangle.moveTo(17, 11);
    triangle.lineTo(28, 18);
    triangle.lineTo(17, 25);
    triangle.closeSubpath();
    p.fillPath(triangle, Light);
    return image;
}

QImage documentSymbol(qreal scale)
{
    QImage image = blank(43, 36, scale);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
    QPainterPath page;
    page.moveTo(11, 2);
    page.lineTo(26, 2);
    page.lineTo(33, 9);
    page.lineTo(33, 34);
    page.lineTo(11, 34);
    page.closeSubpath();
    p.fillPath(page, Light);
    QPainterPath fold;
    fold.moveTo(26, 2);
    fold.lineTo(26, 9);
    fold.lineTo(33, 9);
    fold.closeSubpath();
    p.fillPath(fold, Light.darker(140));
    p.fillRect(QRectF(7, 17, 24, 11), Yellow.darker(110));
    QFont label(QStringLiteral("DejaVu Sans"));
    label.setPixelSize(8);
    label.setBold(true);
    p.setFont(label);
    p.setPen(Deep);
    p.drawText(QRectF(7, 17, 24, 11), Qt::AlignCenter, QStringLiteral("PDF"));
    return image;
}

QByteArray png(const QImage &image)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.convertToFormat(QImage::Format_ARGB32).save(&buffer, "PNG");
    return data;
}

// An .ico holding one PNG-compressed image per size, which Windows Vista and later read.
QByteArray icoFile(const QList<int> &sizes)
{
    QByteArray header(6 + 16 * sizes.size(), '\0');
    QByteArray images;
    qToLittleEndian<quint16>(1, header.data() + 2);
    qToLittleEndian<quint16>(quint16(sizes.size()), header.data() + 4);
    for (int i = 0; i < sizes.size(); ++i) {
        const QByteArray image = png(appIcon(sizes[i]));
        char *entry = header.data() + 6 + 16 * i;
        entry[0] = char(sizes[i] >= 256 ? 0 : sizes[i]);
        entry[1] = entry[0];
        qToLittleEndian<quint16>(1, entry + 4); // colour planes
        qToLittleEndian<quint16>(32, entry + 6); // bits per pixel
        qToLittleEndian<quint32>(quint32(image.size()), entry + 8);
        qToLittleEndian<quint32>(quint32(header.size() + images.size()), entry + 12);
        images += image;
    }
    return header + images;
}

bool write(const QDir &dir, const QString &name, const QByteArray &data)
{
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size()) {
        std::fprintf(stderr, "imagegen: cannot write %s\n", qPrintable(file.fileName()));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: imagegen <resources folder>\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    bool ok = write(dir, QStringLiteral("brelvopico.ico"), icoFile({16, 24, 32, 48, 256}));
    for (const int scale : {1, 2}) {
        const QString at = scale == 1 ? QString() : QStringLiteral("@%1x").arg(scale);
        ok = ok && write(dir, QStringLiteral("brelvo%1.png").arg(at), png(appIcon(130 * scale)))
                && write(dir, QStringLiteral("header%1.png").arg(at), png(header(scale)))
                && write(dir, QStringLiteral("youtube%1.png").arg(at), png(playSymbol(scale)))
                && write(dir, QStringLiteral("pdf%1.png").arg(at), png(documentSymbol(scale)));
    }
    return ok ? 0 : 1;
}
