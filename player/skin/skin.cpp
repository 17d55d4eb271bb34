#include "player/skin/skin.h"

#include <QPainter>
#include <algorithm>
#include <array>

#include "player/skin/skin_metrics.h"

// Outside any namespace, as the resource initialiser requires.
static void InitResourcesOnce() {
    Q_INIT_RESOURCE(corvane);
}

void InitPlayerResources() {
    static const bool done = (InitResourcesOnce(), true);
    (void)done;
}

const char* SkinBitmapName(int id) {
    const SkinPiece* piece = FindSkinPiece(id);
    return piece ? piece->name : "";
}

QPixmap LoadSkinBitmap(int id, qreal devicePixelRatio) {
    const QString name = QString::fromLatin1(SkinBitmapName(id));
    if (name.isEmpty()) return {};
    const QString base = QStringLiteral(":/skin/") + name;
    if (devicePixelRatio > 1.0) {
        QPixmap large(base + QStringLiteral("@2x.png"));
        if (!large.isNull()) {
            large.setDevicePixelRatio(2.0);
            return large;
        }
    }
    return QPixmap(base + QStringLiteral(".png"));
}

QPixmap ComposeBackground(int width, int height, qreal devicePixelRatio, int scale) {
    if (width <= 0 || height <= 0) return {};
    const int W = width;
    const int H = height;
    QPixmap target(QSize(W, H) * devicePixelRatio);
    if (target.isNull()) return {};
    target.setDevicePixelRatio(devicePixelRatio);
    target.fill(Qt::black);

    QPainter painter(&target);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    // Draws piece id, stretched onto the rectangle that place gives for its natural size
    // (times the scale).
    auto draw = [&](int id, auto place) {
        const QPixmap piece = LoadSkinBitmap(id, devicePixelRatio * scale);
        if (piece.isNull()) return;
        const QSize natural = piece.deviceIndependentSize().toSize() * scale;
        painter.drawPixmap(place(natural.width(), natural.height()), piece);
    };
    const int s = scale;
    draw(kBackgroundFill, [&](int, int) { return QRect(0, 0, W, H); });
    draw(kTopBand, [&](int, int h) { return QRect(0, 0, W, h); });
    draw(kBottomBand, [&](int, int h) { return QRect(0, H - h, W, h); });
    draw(kLeftEdge, [&](int w, int) { return QRect(0, 0, w, H); });
    draw(kTopLeft, [&](int w, int h) { return QRect(0, 0, w, h); });
    draw(kBottomLeft, [&](int w, int h) { return QRect(0, H - h, w, h); });
    draw(kRightEdge, [&](int w, int) { return QRect(W - w, 0, w, H); });
    draw(kTopRight, [&](int w, int h) { return QRect(W - w, 0, w, h); });
    draw(kBottomRight, [&](int w, int h) { return QRect(W - w, H - h, w, h); });
    using namespace skin;
    draw(kTitleLogo, [&](int w, int h) { return QRect(kTitleLogoX * s, kTitleLogoY * s, w, h); });
    draw(kBanner, [&](int w, int h) {
        return QRect(std::max((W - w) / 3, kBannerMinX * s), kBannerY * s, w, h);
    });
    draw(kTransportPanel, [&](int w, int h) { return QRect((W - w) / 2, H - h, w, h); });
    draw(kDurationLabel, [&](int w, int h) {
        return QRect(DisplayRowLeft(W, s) + kDurationLabelX * s, H - kLabelDy * s, w, h);
    });
    draw(kVolumeLabel, [&](int w, int h) { return QRect(W / 2, H - kLabelDy * s, w, h); });
    draw(kCloseBox,
         [&](int w, int h) { return QRect(W - kCloseBoxFromRight * s, kCloseBoxY * s, w, h); });
    return target;
}
