// Draws the player's artwork: every skin piece at 1x and 2x and the about box's logo, as
// PNG files in the folder given on the command line (player/res).
//   corvane_skin_painter OUTPUT_FOLDER
// The pieces are vector drawings, so the 2x images are as sharp as the 1x ones.
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>
#include <functional>

namespace {

// The palette: cream and brown.
const QColor kCream(0xF5, 0xEA, 0xDD);
const QColor kParchment(0xEB, 0xDE, 0xC8);
const QColor kParchmentShade(0xD9, 0xC8, 0xAB);
const QColor kBrown(0x94, 0x72, 0x42);
const QColor kBrownMid(0x6B, 0x4E, 0x2E);
const QColor kBrownDark(0x3B, 0x2C, 0x1D);
const QColor kBrownDeep(0x24, 0x19, 0x0F);
const QColor kBrownHighlight(0xB0, 0x8D, 0x5F);
const QColor kGold(0xF2, 0xC9, 0x4C);
const QColor kLabel(0xE8, 0xD6, 0xB8);

using Painter = std::function<void(QPainter&, int w, int h)>;

QString outputFolder;

void Save(const QString& name, int w, int h, const Painter& paint) {
    for (int scale : {1, 2}) {
        QImage image(w * scale, h * scale, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.scale(scale, scale);
        paint(painter, w, h);
        painter.end();
        const QString file = outputFolder + QLatin1Char('/') + name +
                             (scale == 2 ? QStringLiteral("@2x.png") : QStringLiteral(".png"));
        if (!image.save(file)) std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
    }
}

QFont Font(qreal pixels, int weight, const char* family = "DejaVu Sans") {
    QFont font(QString::fromLatin1(family));
    font.setPointSizeF(pixels * 0.75);  // 96 dpi
    font.setWeight(static_cast<QFont::Weight>(weight));
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

// --- frame: bands, edges and corners ---------------------------------------------------

// The top band's colours from top to bottom (33 rows).
QLinearGradient TopBandGradient(int h) {
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0.0, kBrownMid);
    g.setColorAt(0.45, QColor(0x52, 0x3B, 0x24));
    g.setColorAt(1.0, kBrownDark);
    return g;
}

void PaintTopBand(QPainter& p, int w, int h) {
    p.fillRect(QRectF(0, 0, w, h), TopBandGradient(h));
    p.fillRect(QRectF(0, 0, w, 1), kBrownHighlight);
    p.fillRect(QRectF(0, h - 2, w, 1), kBrownHighlight);
    p.fillRect(QRectF(0, h - 1, w, 1), kBrownDeep);
}

QLinearGradient BottomBandGradient(int h) {
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0.0, QColor(0x4E, 0x37, 0x22));
    g.setColorAt(1.0, QColor(0x2C, 0x1F, 0x13));
    return g;
}

void PaintBottomBand(QPainter& p, int w, int h) {
    p.fillRect(QRectF(0, 0, w, h), BottomBandGradient(h));
    p.fillRect(QRectF(0, 0, w, 1), kBrownDeep);
    p.fillRect(QRectF(0, 1, w, 1), kBrownHighlight);
}

// The rim along a side: dark outside, a lit bevel, and a shade falling onto the parchment.
void PaintRim(QPainter& p, int h, bool left) {
    const QColor columns[8] = {kBrownDeep, kBrownHighlight,          kBrownMid,
                               kBrownMid,  QColor(0x5A, 0x41, 0x28), kBrownDark,
                               kBrownDeep, kParchmentShade};
    for (int x = 0; x < 8; ++x) {
        p.fillRect(QRectF(left ? x : 7 - x, 0, 1, h), columns[x]);
    }
}

void PaintLeftEdge(QPainter& p, int, int h) {
    PaintRim(p, h, true);
}
void PaintRightEdge(QPainter& p, int, int h) {
    PaintRim(p, h, false);
}

// A corner: the band across the top (or bottom) rows, the rim below (or above) it.
void PaintCorner(QPainter& p, int w, int h, bool left, bool top) {
    const int band = top ? 33 : 92;
    p.save();
    if (top) {
        p.setClipRect(QRectF(0, band, w, h - band));
        PaintRim(p, h, left);
        p.setClipRect(QRectF(0, 0, w, band));
        PaintTopBand(p, w, band);
    } else {
        p.setClipRect(QRectF(0, 0, w, h - band));
        PaintRim(p, h, left);
        p.translate(0, h - band);
        p.setClipRect(QRectF(0, 0, w, band));
        PaintBottomBand(p, w, band);
    }
    p.restore();
    // The outer rim carries on over the band.
    const qreal x = left ? 0 : w - 1;
    p.fillRect(QRectF(x, 0, 1, h), kBrownDeep);
}

// --- emblem: an envelope with a speaker's sound waves ----------------------------------

void PaintEmblem(QPainter& p, const QRectF& box, const QColor& paper, const QColor& ink) {
    // Envelope in the left three quarters, sound waves to its right.
    const qreal u = box.height();
    const QRectF env(box.left(), box.top() + u * 0.18, u * 1.05, u * 0.68);
    QPen pen(ink, std::max<qreal>(1.0, u * 0.07), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(paper);
    p.drawRoundedRect(env, u * 0.06, u * 0.06);
    QPainterPath flap;
    flap.moveTo(env.topLeft() + QPointF(u * 0.04, u * 0.04));
    flap.lineTo(env.center().x(), env.top() + env.height() * 0.58);
    flap.lineTo(env.topRight() + QPointF(-u * 0.04, u * 0.04));
    p.setBrush(Qt::NoBrush);
    p.drawPath(flap);
    // Waves
    const QPointF c(env.right() + u * 0.02, env.center().y());
    for (int i = 1; i <= 2; ++i) {
        const qreal r = u * (0.16 + 0.17 * i);
        p.drawArc(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), -45 * 16, 90 * 16);
    }
}

void PaintTitleLogo(QPainter& p, int w, int h) {
    PaintEmblem(p, QRectF(1, 3, 20, 14), kCream, kBrownDeep);
    p.setPen(kCream);
    p.setFont(Font(12.5, QFont::Bold));
    p.drawText(QRectF(25, 0, w - 25, h), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Corvane"));
}

void PaintBanner(QPainter& p, int w, int h) {
    // A soft cream plaque with the emblem and the product's title.
    QPainterPath plaque;
    plaque.addRoundedRect(QRectF(0.5, 0.5, w - 1, h - 1), 7, 7);
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, kCream);
    g.setColorAt(1, QColor(0xEF, 0xE0, 0xC9));
    p.setPen(QPen(kParchmentShade, 1));
    p.setBrush(g);
    p.drawPath(plaque);
    PaintEmblem(p, QRectF(9, 8, 36, 24), kCream, kBrown);
    p.setPen(kBrownMid);
    p.setFont(Font(15, QFont::Bold));
    p.drawText(QRectF(54, 4, w - 58, 20), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Corvane"));
    p.setPen(kBrownMid);  // small text: dark enough to read (over 4.5:1 on the cream)
    p.setFont(Font(9, QFont::Normal));
    p.drawText(QRectF(54, 22, w - 58, 13), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Voice messages"));
}

void PaintTransportPanel(QPainter& p, int w, int h) {
    QPainterPath tray;
    const qreal r = 12;
    tray.moveTo(0, h);
    tray.lineTo(0, r);
    tray.quadTo(0, 0, r, 0);
    tray.lineTo(w - r, 0);
    tray.quadTo(w, 0, w, r);
    tray.lineTo(w, h);
    tray.closeSubpath();
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, QColor(0x1E, 0x15, 0x0C));
    g.setColorAt(1, QColor(0x33, 0x24, 0x16));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawPath(tray);
    p.setPen(QPen(QColor(0x7A, 0x5C, 0x3A), 1));
    p.setBrush(Qt::NoBrush);
    p.translate(0.5, 0.5);
    QPainterPath edge;
    edge.moveTo(0, h);
    edge.lineTo(0, r);
    edge.quadTo(0, 0, r, 0);
    edge.lineTo(w - 1 - r, 0);
    edge.quadTo(w - 1, 0, w - 1, r);
    edge.lineTo(w - 1, h);
    p.drawPath(edge);
}

void PaintWord(QPainter& p, int w, int h, const QString& word) {
    p.setPen(kLabel);
    p.setFont(Font(8.4, QFont::Bold, "DejaVu Sans Condensed"));
    p.drawText(QRectF(0, -1, w, h + 2), Qt::AlignLeft | Qt::AlignVCenter, word);
}

void PaintCloseBox(QPainter& p, int w, int h) {
    p.setPen(QPen(kBrownHighlight, 1));
    p.setBrush(kBrownDeep);
    p.drawRoundedRect(QRectF(0.5, 0.5, w - 1, h - 1), 3, 3);
    p.setPen(QPen(kCream, 1.8, Qt::SolidLine, Qt::RoundCap));
    const qreal cx = w / 2.0, cy = h / 2.0, d = 3.6;
    p.drawLine(QPointF(cx - d, cy - d), QPointF(cx + d, cy + d));
    p.drawLine(QPointF(cx - d, cy + d), QPointF(cx + d, cy - d));
}

// --- buttons ---------------------------------------------------------------------------

enum class Look { Up, Focused, Pressed };
enum class Glyph { Back, Forward, Stop, Play, Pause, Speed, Minus, Plus };

void PaintGlyph(QPainter& p, Glyph glyph, const QRectF& r, const QColor& ink) {
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    const QPointF c = r.center();
    auto triangle = [&](qreal x, qreal half, qreal width, bool right) {
        QPolygonF t;
        if (right) {
            t << QPointF(x, c.y() - half) << QPointF(x + width, c.y()) << QPointF(x, c.y() + half);
        } else {
            t << QPointF(x + width, c.y() - half) << QPointF(x, c.y())
              << QPointF(x + width, c.y() + half);
        }
        p.drawPolygon(t);
    };
    switch (glyph) {
        case Glyph::Back:
            triangle(c.x() - 6, 4, 6, false);
            triangle(c.x(), 4, 6, false);
            break;
        case Glyph::Forward:
            triangle(c.x() - 6, 4, 6, true);
            triangle(c.x(), 4, 6, true);
            break;
        case Glyph::Stop:
            p.drawRoundedRect(QRectF(c.x() - 4, c.y() - 4, 8, 8), 1, 1);
            break;
        case Glyph::Play:
            triangle(c.x() - 4.5, 8.5, 14, true);
            break;
        case Glyph::Pause:
            p.drawRoundedRect(QRectF(c.x() - 6.5, c.y() - 8, 5, 16), 1, 1);
            p.drawRoundedRect(QRectF(c.x() + 1.5, c.y() - 8, 5, 16), 1, 1);
            break;
        case Glyph::Speed: {
            QPen pen(ink, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            for (qreal dx : {-4.0, 1.0}) {
                QPolygonF chevron;
                chevron << QPointF(c.x() + dx, c.y() - 4) << QPointF(c.x() + dx + 4, c.y())
                        << QPointF(c.x() + dx, c.y() + 4);
                p.drawPolyline(chevron);
            }
            break;
        }
        case Glyph::Minus:
            p.drawRect(QRectF(c.x() - 3.5, c.y() - 0.9, 7, 1.8));
            break;
        case Glyph::Plus:
            p.drawRect(QRectF(c.x() - 3.5, c.y() - 0.9, 7, 1.8));
            p.drawRect(QRectF(c.x() - 0.9, c.y() - 3.5, 1.8, 7));
            break;
    }
}

void PaintButton(QPainter& p, int w, int h, Glyph glyph, Look look, bool round) {
    const bool pressed = look == Look::Pressed;
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, pressed ? QColor(0xD2, 0xBC, 0x98) : QColor(0xFB, 0xF4, 0xE9));
    g.setColorAt(1, pressed ? QColor(0xB9, 0x9E, 0x76) : QColor(0xE0, 0xCC, 0xAE));
    const QRectF body = QRectF(0, 0, w, h).adjusted(1, 1, -1, -1);
    const qreal radius = round ? body.width() / 2 : std::min<qreal>(4, h / 3.0);
    p.setPen(QPen(kBrownDeep, 1));
    p.setBrush(g);
    p.drawRoundedRect(body.adjusted(-0.5, -0.5, 0.5, 0.5), radius + 0.5, radius + 0.5);
    if (look == Look::Focused) {
        p.setPen(QPen(kGold, round ? 2.2 : 1.6));
        p.setBrush(Qt::NoBrush);
        const qreal in = round ? 1.4 : 1.1;
        p.drawRoundedRect(body.adjusted(in, in, -in, -in), std::max<qreal>(radius - in, 1),
                          std::max<qreal>(radius - in, 1));
    }
    const QColor ink = pressed ? kBrownDeep : kBrownDark;
    PaintGlyph(p, glyph, body.translated(pressed ? 0.5 : 0, pressed ? 0.5 : 0), ink);
}

void SaveButton(const char* name, int w, int h, Glyph glyph, bool round, bool withPressed = true) {
    const QString base = QString::fromLatin1(name);
    Save(base + QStringLiteral("_up"), w, h,
         [=](QPainter& p, int, int) { PaintButton(p, w, h, glyph, Look::Up, round); });
    Save(base + QStringLiteral("_focused"), w, h,
         [=](QPainter& p, int, int) { PaintButton(p, w, h, glyph, Look::Focused, round); });
    if (withPressed) {
        Save(base + QStringLiteral("_pressed"), w, h,
             [=](QPainter& p, int, int) { PaintButton(p, w, h, glyph, Look::Pressed, round); });
    }
}

// --- logo ---------------------------------------------------------------------

void PaintLogo(QPainter& p, int w, int h) {
    QRadialGradient g(w * 0.4, h * 0.35, w * 0.7);
    g.setColorAt(0, kCream);
    g.setColorAt(1, kParchmentShade);
    p.setPen(QPen(kBrownMid, 1.5));
    p.setBrush(g);
    p.drawEllipse(QRectF(1, 1, w - 2, h - 2));
    PaintEmblem(p, QRectF(w * 0.17, h * 0.3, w * 0.55, h * 0.4), kCream, kBrownMid);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: corvane_skin_painter OUTPUT_FOLDER\n");
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    outputFolder = root + QStringLiteral("/skin");
    QDir().mkpath(outputFolder);

    Save(QStringLiteral("background_fill"), 2, 2,
         [](QPainter& p, int w, int h) { p.fillRect(QRectF(0, 0, w, h), kParchment); });
    Save(QStringLiteral("top_band"), 2, 33, PaintTopBand);
    Save(QStringLiteral("bottom_band"), 2, 92, PaintBottomBand);
    Save(QStringLiteral("left_edge"), 8, 2, PaintLeftEdge);
    Save(QStringLiteral("right_edge"), 8, 2, PaintRightEdge);
    Save(QStringLiteral("top_left"), 8, 36,
         [](QPainter& p, int w, int h) { PaintCorner(p, w, h, true, true); });
    Save(QStringLiteral("top_right"), 8, 36,
         [](QPainter& p, int w, int h) { PaintCorner(p, w, h, false, true); });
    Save(QStringLiteral("bottom_left"), 8, 94,
         [](QPainter& p, int w, int h) { PaintCorner(p, w, h, true, false); });
    Save(QStringLiteral("bottom_right"), 8, 94,
         [](QPainter& p, int w, int h) { PaintCorner(p, w, h, false, false); });
    Save(QStringLiteral("title_logo"), 86, 20, PaintTitleLogo);
    Save(QStringLiteral("banner"), 160, 40, PaintBanner);
    Save(QStringLiteral("transport_panel"), 172, 47, PaintTransportPanel);
    Save(QStringLiteral("duration_label"), 40, 8,
         [](QPainter& p, int w, int h) { PaintWord(p, w, h, QStringLiteral("Duration:")); });
    Save(QStringLiteral("volume_label"), 35, 8,
         [](QPainter& p, int w, int h) { PaintWord(p, w, h, QStringLiteral("Volume:")); });
    Save(QStringLiteral("close_box"), 17, 15, PaintCloseBox);

    SaveButton("fb", 24, 17, Glyph::Back, false);
    SaveButton("ff", 24, 17, Glyph::Forward, false);
    SaveButton("stop", 32, 17, Glyph::Stop, false);
    SaveButton("play", 38, 38, Glyph::Play, true);
    SaveButton("pause", 38, 38, Glyph::Pause, true);
    SaveButton("speed", 32, 17, Glyph::Speed, false);
    SaveButton("volume_down", 14, 14, Glyph::Minus, true, false);
    SaveButton("volume_up", 14, 14, Glyph::Plus, true, false);

    outputFolder = root;
    Save(QStringLiteral("logo"), 55, 55, PaintLogo);
    return 0;
}
