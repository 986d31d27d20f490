#include "Glyphs.h"

#include <QBitmap>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

namespace Glyphs {

namespace {
const QColor olive(0x80, 0x80, 0x00);

// Small digits, 3 x 5 pixels, one row a string.
const char *const digitOne[] = {".#.", "##.", ".#.", ".#.", "###"};
const char *const digitTwo[] = {"##.", "..#", ".#.", "#..", "###"};

void drawDigit(QPainter &p, const char *const rows[5], int left, int top)
{
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 3; ++x)
            if (rows[y][x] == '#')
                p.fillRect(left + x, top + y, 1, 1, Qt::black);
}
} // namespace

QPixmap LookupStrip()
{
    QPixmap strip(QStringLiteral(":/velmora/framework/lookup.xpm"));
    strip.setMask(strip.createMaskFromColor(olive, Qt::MaskInColor));
    return strip;
}

QIcon LookupIcon()
{
    const QPixmap strip = LookupStrip();
    QIcon icon;
    icon.addPixmap(strip.copy(0, 0, 16, 16), QIcon::Normal);
    icon.addPixmap(strip.copy(16, 0, 16, 16), QIcon::Disabled);
    return icon;
}

QPixmap CalendarDropDown()
{
    QImage image(16, 16, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    // The leaf: a white page with a red top band and two rings.
    p.fillRect(1, 1, 14, 10, QColor(0x40, 0x40, 0x40));
    p.fillRect(2, 2, 12, 8, Qt::white);
    p.fillRect(2, 2, 12, 2, QColor(0xc0, 0x00, 0x00));
    p.fillRect(4, 0, 1, 2, QColor(0x40, 0x40, 0x40));
    p.fillRect(11, 0, 1, 2, QColor(0x40, 0x40, 0x40));
    drawDigit(p, digitOne, 4, 5);
    drawDigit(p, digitTwo, 9, 5);
    // The arrow.
    for (int row = 0; row < 4; ++row)
        p.fillRect(4 + row, 12 + row, 8 - 2 * row, 1, Qt::black);
    p.end();
    return QPixmap::fromImage(image);
}

QStringList IconNames()
{
    return {QStringLiteral("print"),    QStringLiteral("preview"), QStringLiteral("save"),
            QStringLiteral("export"),   QStringLiteral("edit"),    QStringLiteral("close"),
            QStringLiteral("help"),     QStringLiteral("search"),  QStringLiteral("velmora"),
            QStringLiteral("variants"), QStringLiteral("history"), QStringLiteral("background")};
}

QIcon Icon(const QString &name)
{
    QIcon icon;
    if (IconNames().contains(name)) {
        QSvgRenderer source(QStringLiteral(":/velmora/framework/icons/%1.svg").arg(name));
        // Drawn per size rather than scaled from one: thin strokes stay sharp at 16 pixels.
        // The greyed state is left to the style, which derives it from these.
        for (const int size : {16, 20, 24, 32, 48, 64, 128}) {
            QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            QPainter p(&image);
            source.render(&p);
            p.end();
            icon.addPixmap(QPixmap::fromImage(image));
        }
    }
    return icon;
}

} // namespace Glyphs
