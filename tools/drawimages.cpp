// Draws the program's built-in images as flat icons, so that every picture in the resources is
// our own and can be redrawn after a change of palette:  drawimages <output folder>
// With --icons it draws the logo instead as the desktop icon, at the sizes of the freedesktop
// icon theme:  drawimages --icons <theme folder>  writes <n>x<n>/apps/tarquel-terminal.png.
//
// Every picture is drawn on a 48 x 48 grid; the logo is the same grid scaled up to 512 pixels.
// The 48-pixel pictures are drawn a second time at 96 pixels as "<name>@2x.png", which Qt shows
// in their place on a screen scaled beyond 100%, so that they stay sharp there.
// Letters are drawn as strokes rather than with a font, so that the output does not depend on
// the fonts installed on the machine that runs the tool.

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRectF>
#include <QVector>

#include <cmath>
#include <cstdio>

namespace {

// Terminal green (the terminal's default background), its dark outline, white and one accent.
const QColor teal(0x43, 0x88, 0x65);
const QColor tealDark(0x1e, 0x44, 0x33);
const QColor tealLight(0xb4, 0xdb, 0xc6);
const QColor white(0xff, 0xff, 0xff);
const QColor amber(0xf2, 0xa9, 0x3b);
const QColor red(0xd6, 0x45, 0x41);
const QColor redDark(0x8c, 0x26, 0x22);

const qreal pi = 3.14159265358979;

// The side of the grid every picture is drawn on, and the size of the toolbar's pictures.
const int grid = 48;

QPen outlinePen(const QColor &color = tealDark, qreal width = 2)
{
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// Bold strokes for letters and marks; square ends keep the letters crisp when small.
void drawStroke(QPainter &p, const QColor &color, qreal width, const QVector<QPointF> &line)
{
    p.setPen(QPen(color, width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(line.constData(), line.size());
}

// Thick centre lines drawn as one filled shape with an outline, like the other icons' shapes.
QPainterPath thicken(const QPainterPath &centreLine, qreal width)
{
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(Qt::FlatCap);
    stroker.setJoinStyle(Qt::SvgMiterJoin);
    // Sharp apexes (the top of the A) are bevelled so that they stay inside the picture.
    stroker.setMiterLimit(2);
    return stroker.createStroke(centreLine);
}

void drawOutlined(QPainter &p, const QPainterPath &shape, const QColor &fill)
{
    p.setPen(outlinePen(tealDark, 1.5));
    p.setBrush(fill);
    p.drawPath(shape.simplified());
}

void drawScreen(QPainter &p, const QRectF &rect, qreal radius = 5)
{
    p.setPen(outlinePen());
    p.setBrush(teal);
    p.drawRoundedRect(rect, radius, radius);
}

// An arrow along +x with its tip at the origin, for the caller to rotate and move into place.
QPolygonF arrow(qreal length, qreal shaftWidth, qreal headWidth, qreal headLength)
{
    const qreal s = shaftWidth / 2;
    const qreal h = headWidth / 2;
    return QPolygonF({{-length, -s},
                      {-headLength, -s},
                      {-headLength, -h},
                      {0, 0},
                      {-headLength, h},
                      {-headLength, s},
                      {-length, s}});
}

void drawArrow(QPainter &p, const QPointF &tip, qreal angleDegrees, const QPolygonF &shape,
               const QColor &fill)
{
    p.save();
    p.translate(tip);
    p.rotate(angleDegrees);
    p.setPen(outlinePen());
    p.setBrush(fill);
    p.drawPolygon(shape);
    p.restore();
}

void drawLogo(QPainter &p)
{
    // The cable and plug hang below the screen: the device end of a serial terminal.
    p.setPen(outlinePen(tealDark, 3));
    p.drawLine(QPointF(24, 34), QPointF(24, 37));
    p.setPen(outlinePen());
    p.setBrush(white);
    p.drawRect(QRectF(19.5, 41.5, 9, 4.5));
    p.setBrush(amber);
    p.drawRoundedRect(QRectF(17, 36.5, 14, 6), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(tealDark);
    p.drawRect(QRectF(20.8, 43, 2.4, 1.6));
    p.drawRect(QRectF(24.8, 43, 2.4, 1.6));

    drawScreen(p, QRectF(3, 3, 42, 31), 6);
    drawStroke(p, white, 6, {{14, 11}, {34, 11}});
    drawStroke(p, white, 6, {{24, 11}, {24, 27}});
    p.setPen(Qt::NoPen);
    p.setBrush(amber);
    p.drawRect(QRectF(31, 26.5, 7, 3.5));
}

void drawInfo(QPainter &p)
{
    p.setPen(outlinePen());
    p.setBrush(teal);
    p.drawEllipse(QRectF(4, 4, 40, 40));
    p.setPen(Qt::NoPen);
    p.setBrush(white);
    p.drawEllipse(QPointF(24, 14.5), 3.6, 3.6);
    p.drawRect(QRectF(21, 21, 6, 15));
    p.drawRect(QRectF(18, 21, 6, 3.5));
    p.drawRect(QRectF(18, 33.5, 12, 3.5));
}

void drawErase(QPainter &p)
{
    drawScreen(p, QRectF(2, 4, 38, 29));
    drawStroke(p, white, 3, {{8, 11}, {22, 11}});
    drawStroke(p, white, 3, {{8, 17}, {16, 17}});

    // The eraser lies across the screen's corner, white felt end down on the text it wipes.
    p.save();
    p.translate(31, 31);
    p.rotate(-40);
    p.setPen(outlinePen());
    p.setBrush(amber);
    p.drawRoundedRect(QRectF(-4, -7, 18, 14), 2, 2);
    p.setBrush(white);
    p.drawRoundedRect(QRectF(-14, -7, 10, 14), 2, 2);
    p.restore();
}

void drawDocument(QPainter &p)
{
    p.setPen(outlinePen());
    p.setBrush(white);
    p.drawPolygon(QPolygonF({{9, 4}, {30, 4}, {39, 13}, {39, 44}, {9, 44}}));
    p.setBrush(tealLight);
    p.drawPolygon(QPolygonF({{30, 4}, {30, 13}, {39, 13}}));
    for (qreal y : {20.0, 26.0, 32.0, 38.0})
        drawStroke(p, teal, 2.5, {{14.5, y}, {y == 38 ? 26.0 : 33.5, y}});
}

void drawEdit(QPainter &p)
{
    // A bold letter over an accent underline: the font in use.
    QPainterPath legs;
    legs.moveTo(9, 37);
    legs.lineTo(24, 7);
    legs.lineTo(39, 37);
    QPainterPath bar;
    bar.moveTo(15, 27);
    bar.lineTo(33, 27);
    drawOutlined(p, thicken(legs, 7.5).united(thicken(bar, 5)), teal);
    p.setPen(outlinePen());
    p.setBrush(amber);
    p.drawRoundedRect(QRectF(5, 40, 38, 5), 1.5, 1.5);
}

void drawRightUp(QPainter &p)
{
    drawArrow(p, QPointF(42, 6), -45, arrow(44, 9, 24, 16), teal);
}

void drawPalette(QPainter &p)
{
    QPainterPath board;
    board.addEllipse(QRectF(3, 7, 42, 34));
    QPainterPath hole;
    hole.addEllipse(QPointF(15, 31), 4, 4);
    QPainterPath notch;
    notch.addEllipse(QPointF(4, 27), 6, 4.5);
    p.setPen(outlinePen());
    p.setBrush(QColor(0xf4, 0xe6, 0xc8));
    p.drawPath(board.subtracted(hole).subtracted(notch));

    const struct
    {
        QPointF center;
        QColor color;
    } blobs[]
        = {{{15, 17}, red}, {{25, 14}, amber}, {{35, 18}, teal}, {{36, 29}, {0x3b, 0x74, 0xc8}}};
    p.setPen(outlinePen(tealDark, 1.5));
    for (const auto &blob : blobs) {
        p.setBrush(blob.color);
        p.drawEllipse(blob.center, 4.5, 4.5);
    }
}

void drawSaveAs(QPainter &p)
{
    // A floppy disk with an arrow coming down into it.
    p.setPen(outlinePen());
    p.setBrush(teal);
    p.drawPolygon(QPolygonF({{2, 11}, {28, 11}, {35, 18}, {35, 45}, {2, 45}}));
    p.setBrush(white);
    p.drawRect(QRectF(8, 11, 15, 9));
    p.drawRect(QRectF(7, 29, 23, 16));
    p.setPen(Qt::NoPen);
    p.setBrush(tealDark);
    p.drawRect(QRectF(17, 13, 3.5, 5));
    drawStroke(p, tealLight, 2, {{11.5, 34.5}, {25.5, 34.5}});
    drawStroke(p, tealLight, 2, {{11.5, 39.5}, {25.5, 39.5}});
    drawArrow(p, QPointF(38, 33), 90, arrow(30, 7, 16, 11), amber);
}

void drawMenu(QPainter &p)
{
    // A function keycap: the darker lip below makes the flat square read as a key.
    p.setPen(outlinePen());
    p.setBrush(tealDark);
    p.drawRoundedRect(QRectF(4, 4, 40, 40), 6, 6);
    p.setPen(Qt::NoPen);
    p.setBrush(teal);
    p.drawRoundedRect(QRectF(8, 6.5, 32, 30), 4, 4);
    drawStroke(p, white, 5.5, {{31, 12.5}, {19, 12.5}, {19, 30.5}});
    drawStroke(p, white, 5, {{19, 21.5}, {28, 21.5}});
}

void drawRefresh(QPainter &p)
{
    const QRectF circle(9, 9, 30, 30);
    const qreal radius = circle.width() / 2;
    const int spanDegrees = 130;
    for (int startDegrees : {20, 200}) {
        QPainterPath arc;
        arc.arcMoveTo(circle, startDegrees);
        arc.arcTo(circle, startDegrees, spanDegrees);

        // The head sits at the arc's counter-clockwise end and points along it.
        const qreal a = (startDegrees + spanDegrees) * pi / 180;
        const QPointF outward(std::cos(a), -std::sin(a));
        const QPointF along(-std::sin(a), -std::cos(a));
        const QPointF end = circle.center() + radius * outward;
        QPainterPath head;
        const QPointF back = end - along;
        head.addPolygon(QPolygonF({end + 8 * along, back + 7.5 * outward, back - 7.5 * outward}));
        head.closeSubpath();
        drawOutlined(p, thicken(arc, 6).united(head), teal);
    }
}

void drawDelete(QPainter &p)
{
    p.setPen(outlinePen(redDark));
    p.setBrush(red);
    p.drawEllipse(QRectF(4, 4, 40, 40));
    p.setPen(QPen(white, 6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(16.5, 16.5), QPointF(31.5, 31.5));
    p.drawLine(QPointF(31.5, 16.5), QPointF(16.5, 31.5));
}

void drawHexa(QPainter &p)
{
    drawScreen(p, QRectF(2, 7, 44, 34));
    p.setPen(QPen(white, 4.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(9, 14, 12, 20));
    drawStroke(p, white, 4.5, {{27, 20}, {38, 34}});
    drawStroke(p, white, 4.5, {{38, 20}, {27, 34}});
}

void drawNews(QPainter &p)
{
    p.setPen(outlinePen());
    p.setBrush(white);
    p.drawRect(QRectF(4, 6, 40, 36));
    p.setPen(Qt::NoPen);
    p.setBrush(tealDark);
    p.drawRect(QRectF(9, 11, 30, 5));
    p.setBrush(amber);
    p.drawRect(QRectF(9, 20, 13, 11));
    for (qreal y : {21.0, 25.5, 30.0})
        drawStroke(p, teal, 2, {{26, y}, {38, y}});
    for (qreal y : {35.0, 38.5})
        drawStroke(p, teal, 2, {{10, y}, {38, y}});
}

// The document of drawDocument() with fewer lines, narrowed to leave room for a mark beside it.
void drawPage(QPainter &p)
{
    p.setPen(outlinePen());
    p.setBrush(white);
    p.drawPolygon(QPolygonF({{5, 4}, {24, 4}, {32, 12}, {32, 44}, {5, 44}}));
    p.setBrush(tealLight);
    p.drawPolygon(QPolygonF({{24, 4}, {24, 12}, {32, 12}}));
    for (qreal y : {19.0, 25.0, 31.0})
        drawStroke(p, teal, 2.5, {{10, y}, {y == 31 ? 19.0 : 27.0, y}});
}

void drawLogFile(QPainter &p)
{
    // A page with a recording dot: what the device says goes into a file as it comes.
    drawPage(p);
    p.setPen(outlinePen(redDark));
    p.setBrush(red);
    p.drawEllipse(QPointF(34, 34), 10, 10);
    p.setPen(Qt::NoPen);
    p.setBrush(white);
    p.drawEllipse(QPointF(31, 31), 2.5, 2.5);
}

void drawSendFile(QPainter &p)
{
    // A page with an arrow leaving it towards the device.
    drawPage(p);
    drawArrow(p, QPointF(46, 32), 0, arrow(24, 8, 16, 11), amber);
}

void drawTimestamps(QPainter &p)
{
    // A clock face at ten past ten.
    p.setPen(outlinePen());
    p.setBrush(white);
    p.drawEllipse(QPointF(24, 24), 20, 20);
    for (int hour = 0; hour < 12; ++hour) {
        const qreal angle = hour * pi / 6;
        const QPointF direction(std::sin(angle), -std::cos(angle));
        drawStroke(p, tealDark, hour % 3 == 0 ? 3 : 1.5,
                   {QPointF(24, 24) + direction * 15, QPointF(24, 24) + direction * 18});
    }
    drawStroke(p, teal, 3.5, {{24, 24}, {16, 19}});
    drawStroke(p, amber, 3, {{24, 24}, {33, 17}});
    p.setPen(Qt::NoPen);
    p.setBrush(tealDark);
    p.drawEllipse(QPointF(24, 24), 2.5, 2.5);
}

void drawCommandLine(QPainter &p)
{
    // A screen with a prompt and the cursor on the line below it: a line composed, then sent.
    drawScreen(p, QRectF(3, 8, 42, 32));
    drawStroke(p, white, 3.5, {{11, 17}, {19, 24}, {11, 31}});
    drawStroke(p, amber, 3.5, {{24, 32}, {36, 32}});
}

// One output file: its name, its width and height in pixels, and what draws it.
struct Picture
{
    const char *fileName;
    int pixels;
    void (*draw)(QPainter &);
};

const Picture pictures[] = {
    {"TARQUEL_LOGO.png", 512, drawLogo},
    {"info.png", 48, drawInfo},
    {"erase.png", 48, drawErase},
    {"document.png", 48, drawDocument},
    {"edit.png", 48, drawEdit},
    {"rightup.png", 48, drawRightUp},
    {"palette.png", 48, drawPalette},
    {"saveas.png", 48, drawSaveAs},
    {"menu.png", 48, drawMenu},
    {"refresh.png", 48, drawRefresh},
    {"ostra.png", 48, drawLogo},
    {"delete.png", 48, drawDelete},
    {"hexa.png", 48, drawHexa},
    {"news.png", 48, drawNews},
    {"logfile.png", 48, drawLogFile},
    {"sendfile.png", 48, drawSendFile},
    {"timestamps.png", 48, drawTimestamps},
    {"commandline.png", 48, drawCommandLine},
};

// The desktop icon's sizes: what desktops ask the hicolor theme for, 48 pixels and up.
const int iconSizes[] = {48, 64, 128, 256, 512};

bool drawPicture(void (*draw)(QPainter &), int pixels, const QString &path)
{
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(qreal(pixels) / grid, qreal(pixels) / grid);
    draw(painter);
    painter.end();
    if (!QDir().mkpath(QFileInfo(path).path()) || !image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    const bool icons = argc == 3 && qstrcmp(argv[1], "--icons") == 0;
    if (argc != 2 && !icons) {
        std::fprintf(stderr, "usage: %s [--icons] <output folder>\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[argc - 1]));
    if (icons) {
        for (const int pixels : iconSizes) {
            const QString size = QStringLiteral("%1x%1").arg(pixels);
            const QString path
                = folder.filePath(size + QStringLiteral("/apps/tarquel-terminal.png"));
            if (!drawPicture(drawLogo, pixels, path))
                return 1;
        }
        return 0;
    }
    for (const Picture &picture : pictures) {
        const QString fileName = QString::fromLatin1(picture.fileName);
        if (!drawPicture(picture.draw, picture.pixels, folder.filePath(fileName)))
            return 1;
        // The logo is large enough for any screen as it is.
        if (picture.pixels != grid)
            continue;
        const QFileInfo name(fileName);
        const QString doubled = name.completeBaseName() + QStringLiteral("@2x.") + name.suffix();
        if (!drawPicture(picture.draw, 2 * grid, folder.filePath(doubled)))
            return 1;
    }
    return 0;
}
