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

#include "player/skin/skin_palette.h"
#include "player/skin/skin_pieces.h"

namespace {

// The palette (player/skin/skin_palette.h).
const QColor kCream = ColorFromRef(palette::kCream);
const QColor kParchment = ColorFromRef(palette::kParchment);
const QColor kParchmentShade = ColorFromRef(palette::kParchmentShade);
const QColor kBrown = ColorFromRef(palette::kBrown);
const QColor kBrownMid = ColorFromRef(palette::kBrownMid);
const QColor kBrownDark = ColorFromRef(palette::kBrownDark);
const QColor kBrownDeep = ColorFromRef(palette::kBrownDeep);
const QColor kBrownHighlight = ColorFromRef(palette::kBrownHighlight);
const QColor kGold = ColorFromRef(palette::kGold);
const QColor kLabel = ColorFromRef(palette::kLabel);

using Painter = std::function<void(QPainter&, int w, int h)>;

QString outputFolder;

void Save(const QString& name, int w, int h, const Painter& paint);

// A skin piece at the size the skin describes it with.
void Save(SkinBitmap id, const Painter& paint) {
    const SkinPiece* piece = FindSkinPiece(id);
    Save(QString::fromLatin1(piece->name), piece->width, piece->height, paint);
}

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

// A button's images: up, focused and, when it has one, pressed.
void SaveButton(SkinBitmap up, SkinBitmap focused, SkinBitmap pressed, Glyph glyph, bool round) {
    const SkinPiece* piece = FindSkinPiece(up);
    const int w = piece->width, h = piece->height;
    Save(up, [=](QPainter& p, int, int) { PaintButton(p, w, h, glyph, Look::Up, round); });
    Save(focused,
         [=](QPainter& p, int, int) { PaintButton(p, w, h, glyph, Look::Focused, round); });
    if (pressed != up) {
        Save(pressed,
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

    Save(kBackgroundFill,
         [](QPainter& p, int w, int h) { p.fillRect(QRectF(0, 0, w, h), kParchment); });
    Save(kTopBand, PaintTopBand);
    Save(kBottomBand, PaintBottomBand);
    Save(kLeftEdge, PaintLeftEdge);
    Save(kRightEdge, PaintRightEdge);
    Save(kTopLeft, [](QPainter& p, int w, int h) { PaintCorner(p, w, h, true, true); });
    Save(kTopRight, [](QPainter& p, int w, int h) { PaintCorner(p, w, h, false, true); });
    Save(kBottomLeft, [](QPainter& p, int w, int h) { PaintCorner(p, w, h, true, false); });
    Save(kBottomRight, [](QPainter& p, int w, int h) { PaintCorner(p, w, h, false, false); });
    Save(kTitleLogo, PaintTitleLogo);
    Save(kBanner, PaintBanner);
    Save(kTransportPanel, PaintTransportPanel);
    Save(kDurationLabel,
         [](QPainter& p, int w, int h) { PaintWord(p, w, h, QStringLiteral("Duration:")); });
    Save(kVolumeLabel,
         [](QPainter& p, int w, int h) { PaintWord(p, w, h, QStringLiteral("Volume:")); });
    Save(kCloseBox, PaintCloseBox);

    SaveButton(kFbUp, kFbFocused, kFbPressed, Glyph::Back, false);
    SaveButton(kFfUp, kFfFocused, kFfPressed, Glyph::Forward, false);
    SaveButton(kStopUp, kStopFocused, kStopPressed, Glyph::Stop, false);
    SaveButton(kPlayUp, kPlayFocused, kPlayPressed, Glyph::Play, true);
    SaveButton(kPauseUp, kPauseFocused, kPausePressed, Glyph::Pause, true);
    SaveButton(kSpeedUp, kSpeedFocused, kSpeedPressed, Glyph::Speed, false);
    SaveButton(kVolumeDownUp, kVolumeDownFocused, kVolumeDownUp, Glyph::Minus, true);
    SaveButton(kVolumeUpUp, kVolumeUpFocused, kVolumeUpUp, Glyph::Plus, true);

    outputFolder = root;
    Save(QStringLiteral("logo"), 55, 55, PaintLogo);
    return 0;
}
