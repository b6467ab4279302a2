// Paints the program's icons into a folder: the launcher icon (ICO, ICNS,
// SVG), the preference dialog's buttons and the capture dialog's clear button.
// The drawings are ours, defined here in a 256-unit square.

#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QVector>
#include <QtEndian>

#include <cstdio>

namespace {

const QColor kTop(0x2f, 0x80, 0x7c);
const QColor kBottom(0x1b, 0x3a, 0x4b);
const QColor kPage(0xfb, 0xf8, 0xf0);
const QColor kInk(0x9a, 0xa5, 0xad);

QImage canvas(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

void beginUnits(QPainter &p, int size)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);
}

QPainterPath leftPage()
{
    QPainterPath path;
    path.moveTo(128, 82);
    path.cubicTo(104, 66, 72, 62, 44, 68);
    path.lineTo(44, 190);
    path.cubicTo(72, 184, 104, 188, 128, 204);
    path.closeSubpath();
    return path;
}

QPainterPath rightPage()
{
    QTransform mirror(-1, 0, 0, 1, 256, 0);
    return mirror.map(leftPage());
}

QImage launcher(int size)
{
    QImage image = canvas(size);
    QPainter p(&image);
    beginUnits(p, size);
    QLinearGradient bg(0, 0, 0, 256);
    bg.setColorAt(0, kTop);
    bg.setColorAt(1, kBottom);
    p.setPen(Qt::NoPen);
    p.setBrush(bg);
    p.drawRoundedRect(QRectF(8, 8, 240, 240), 48, 48);
    p.setBrush(kPage);
    p.drawPath(leftPage());
    p.drawPath(rightPage());
    p.setPen(QPen(kInk, 7, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 4; ++i) {
        const qreal y = 100 + i * 22;
        p.drawLine(QLineF(62, y - 4, 112, y + 4));
        p.drawLine(QLineF(144, y + 4, 194, y - 4));
    }
    p.setPen(QPen(kBottom, 4));
    p.drawLine(QLineF(128, 84, 128, 200));
    return image;
}

QImage gear(int size)
{
    QImage image = canvas(size);
    QPainter p(&image);
    beginUnits(p, size);
    p.translate(128, 128);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x55, 0x5f, 0x66));
    for (int i = 0; i < 8; ++i) {
        p.drawRoundedRect(QRectF(-22, -118, 44, 60), 8, 8);
        p.rotate(45);
    }
    QPainterPath ring;
    ring.addEllipse(QPointF(0, 0), 84, 84);
    ring.addEllipse(QPointF(0, 0), 38, 38);
    p.drawPath(ring);
    return image;
}

QImage revertArrow(int size, const QColor &colour)
{
    QImage image = canvas(size);
    QPainter p(&image);
    beginUnits(p, size);
    p.setPen(QPen(colour, 30, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(48, 48, 160, 160), 120 * 16, 270 * 16);
    QPainterPath head;
    head.moveTo(40, 40);
    head.lineTo(120, 52);
    head.lineTo(58, 116);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(head);
    return image;
}

QImage clearKey(int size)
{
    QImage image = canvas(size);
    QPainter p(&image);
    beginUnits(p, size);
    QPainterPath key;
    key.moveTo(24, 128);
    key.lineTo(88, 48);
    key.lineTo(232, 48);
    key.lineTo(232, 208);
    key.lineTo(88, 208);
    key.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x8a, 0x93, 0x99));
    p.drawPath(key);
    p.setPen(QPen(Qt::white, 22, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QLineF(118, 88, 190, 168));
    p.drawLine(QLineF(190, 88, 118, 168));
    return image;
}

QByteArray png(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

template <typename T> void putLE(QByteArray &out, T value)
{
    char raw[sizeof(T)];
    qToLittleEndian(value, raw);
    out.append(raw, sizeof(T));
}

void putBE32(QByteArray &out, quint32 value)
{
    char raw[4];
    qToBigEndian(value, raw);
    out.append(raw, 4);
}

// One ICO image as a 32-bit bottom-up DIB with an all-clear AND mask: the
// form every reader of the format understands.
QByteArray dibEntry(const QImage &source)
{
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int w = image.width();
    const int h = image.height();
    const int maskStride = ((w + 31) / 32) * 4;
    QByteArray out;
    putLE<quint32>(out, 40);
    putLE<qint32>(out, w);
    putLE<qint32>(out, 2 * h);
    putLE<quint16>(out, 1);
    putLE<quint16>(out, 32);
    putLE<quint32>(out, 0);
    putLE<quint32>(out, quint32(w * h * 4 + maskStride * h));
    for (int i = 0; i < 4; ++i)
        putLE<quint32>(out, 0);
    for (int y = h - 1; y >= 0; --y) {
        const QRgb *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < w; ++x)
            putLE<quint32>(out, row[x]); // ARGB32 in memory order is B G R A
    }
    out.append(QByteArray(maskStride * h, '\0'));
    return out;
}

QByteArray ico(const QVector<int> &sizes)
{
    QByteArray header;
    QByteArray data;
    putLE<quint16>(header, 0);
    putLE<quint16>(header, 1);
    putLE<quint16>(header, quint16(sizes.size()));
    const int dataStart = 6 + 16 * sizes.size();
    for (int size : sizes) {
        const QByteArray entry = dibEntry(launcher(size));
        header.append(char(size >= 256 ? 0 : size));
        header.append(char(size >= 256 ? 0 : size));
        header.append('\0');
        header.append('\0');
        putLE<quint16>(header, 1);
        putLE<quint16>(header, 32);
        putLE<quint32>(header, quint32(entry.size()));
        putLE<quint32>(header, quint32(dataStart + data.size()));
        data.append(entry);
    }
    return header + data;
}

QByteArray icns()
{
    QByteArray body;
    const struct
    {
        const char *type;
        int size;
    } entries[] = {{"ic07", 128}, {"ic08", 256}, {"ic09", 512}};
    for (const auto &entry : entries) {
        const QByteArray data = png(launcher(entry.size));
        body.append(entry.type, 4);
        putBE32(body, quint32(data.size() + 8));
        body.append(data);
    }
    QByteArray out("icns", 4);
    putBE32(out, quint32(body.size() + 8));
    return out + body;
}

// The same drawing as launcher(), for the icon theme.
QByteArray svg()
{
    return R"svg(<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">
  <defs>
    <linearGradient id="bg" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#2f807c"/>
      <stop offset="1" stop-color="#1b3a4b"/>
    </linearGradient>
  </defs>
  <rect x="8" y="8" width="240" height="240" rx="48" fill="url(#bg)"/>
  <path d="M128 82 C104 66 72 62 44 68 L44 190 C72 184 104 188 128 204 Z" fill="#fbf8f0"/>
  <path d="M128 82 C152 66 184 62 212 68 L212 190 C184 184 152 188 128 204 Z" fill="#fbf8f0"/>
  <g stroke="#9aa5ad" stroke-width="7" stroke-linecap="round">
    <path d="M62 96 L112 104 M62 118 L112 126 M62 140 L112 148 M62 162 L112 170"/>
    <path d="M144 104 L194 96 M144 126 L194 118 M144 148 L194 140 M144 170 L194 162"/>
  </g>
  <path d="M128 84 L128 200" stroke="#1b3a4b" stroke-width="4"/>
</svg>
)svg";
}

bool write(const QDir &dir, const QString &name, const QByteArray &bytes)
{
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "tavril-iconmaker: cannot write %s\n", qPrintable(file.fileName()));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tavril-iconmaker OUTPUT-FOLDER\n");
        return 2;
    }
    QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(QStringLiteral(".")))
        return 2;
    bool ok = write(dir, "launcher.ico", ico({16, 24, 32, 48, 64, 128, 256}));
    ok = write(dir, "launcher_48.ico", ico({48})) && ok;
    ok = write(dir, "launcher.icns", icns()) && ok;
    // Each picture also at twice its size ("@2x"), which Qt takes on screens
    // with a scale factor of two or more.
    for (int scale : {1, 2}) {
        const QString suffix = scale == 1 ? QString() : QStringLiteral("@2x");
        ok = write(dir, "setting" + suffix + ".png", png(gear(32 * scale))) && ok;
        ok = write(dir, "revert" + suffix + ".png", png(revertArrow(32 * scale, QColor(0x55, 0x5f, 0x66)))) && ok;
        ok = write(dir, "revert_click" + suffix + ".png", png(revertArrow(32 * scale, QColor(0x2f, 0x80, 0x7c)))) && ok;
        ok = write(dir, "delete" + suffix + ".png", png(clearKey(24 * scale))) && ok;
    }
    ok = write(dir, "tavril.svg", svg()) && ok;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        ok = write(dir, QStringLiteral("tavril-%1.png").arg(size), png(launcher(size))) && ok;
    return ok ? 0 : 1;
}
