// The skin and the place of every control, and the look of the whole window.
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QTest>
#include <cmath>
#include <map>

#include "player/skin/bitmap_button.h"
#include "player/skin/skin.h"
#include "player/skin/skin_metrics.h"
#include "player/skin/transparent_static.h"
#include "player/waveform_view.h"
#include "tests/player/player_fixture.h"

namespace playertest {
namespace {

// Contrast ratio of two colours as readability guidelines define it (1 to 21).
double Contrast(ColorRef a, ColorRef b) {
    auto luminance = [](ColorRef c) {
        auto channel = [](uint32_t v) {
            const double x = v / 255.0;
            return x <= 0.03928 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c & 0xFF) + 0.7152 * channel((c >> 8) & 0xFF) +
               0.0722 * channel((c >> 16) & 0xFF);
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

class LayoutTest : public WindowTest {
  protected:
    QRect Geometry(const char* name) const {
        return window->findChild<QWidget*>(QLatin1String(name))->geometry();
    }
    QSize Background() const {
        return window->findChild<QLabel*>("background")->pixmap().deviceIndependentSize().toSize();
    }
};

// The default layout itself is checked pixel by pixel by the reference picture below; these
// are the rules by which it follows the window's size.
TEST_F(LayoutTest, ControlsHangFromTheBottomCentreAndTheWaveformTakesTheRoom) {
    const char* hanging[] = {"play",        "pause",      "fastBack", "stop",         "speed",
                             "fastForward", "volumeDown", "volumeUp", "volumeDisplay"};
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    std::map<std::string, QPoint> fromCentre;  // each control's offset from (C, H), at 240 x 320
    for (const QSize size :
         {QSize(skin::kDefaultWidth, skin::kDefaultHeight), QSize(320, 280), QSize(1000, 400)}) {
        window->resize(size);
        QApplication::processEvents();
        const int W = size.width(), H = size.height() - skin::kBarHeight;
        const QPoint bottomCentre(W / 2, H);
        for (const char* name : hanging) {
            const QPoint offset = Geometry(name).topLeft() - bottomCentre;
            if (!fromCentre.count(name)) fromCentre[name] = offset;
            EXPECT_EQ(offset, fromCentre[name]) << name << " at " << W;
        }
        const QRect wave = Geometry("waveform"), name = Geometry("fileName");
        EXPECT_EQ(wave.top(), skin::kWaveformTop);  // under the banner
        EXPECT_EQ(wave.left(), W - 1 - wave.right());
        EXPECT_EQ(name.left(), W - 1 - name.right());
        EXPECT_LT(wave.bottom(), name.top());
        EXPECT_LT(name.bottom(), Geometry("time").top());
        // The displays' row keeps the default width, centred under the transport panel.
        const int row = (W - std::min(W, skin::kDefaultWidth)) / 2;
        EXPECT_EQ(Geometry("time").left() - row, skin::kTimeX);
        EXPECT_EQ(row + std::min(W, skin::kDefaultWidth) - Geometry("speedDisplay").right() - 1,
                  skin::kSpeedDisplayFromRight - skin::kSpeedDisplayWidth);
        EXPECT_EQ(Background(), QSize(W, H));
        EXPECT_EQ(Geometry("menuBar"), QRect(0, H, W, skin::kBarHeight));
    }
    auto* time = window->findChild<CTransparentStatic*>("time");
    EXPECT_GE(Contrast(time->GetTextColor(), time->GetBackColor()), 4.5);
    EXPECT_EQ(time->GetTextFormat(), CTransparentStatic::Left);
    EXPECT_EQ(window->findChild<CTransparentStatic*>("speedDisplay")->GetTextFormat(),
              CTransparentStatic::Right);
    EXPECT_EQ(window->findChild<CTransparentStatic*>("volumeDisplay")->GetTextFormat(),
              CTransparentStatic::Centre);
    EXPECT_TRUE(time->font().bold());
}

// Twice the default size both ways: the skin, every control and the texts at twice their size.
TEST_F(LayoutTest, TwiceTheDefaultSizeDoublesEverything) {
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const QSize single(skin::kDefaultWidth, skin::kDefaultHeight);
    window->resize(single);
    QApplication::processEvents();
    std::map<QString, QRect> before;
    for (QWidget* w : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!w->objectName().isEmpty()) before[w->objectName()] = w->geometry();
    }
    const int font = window->findChild<QWidget*>("time")->font().pixelSize();
    window->resize(single * 2);
    QApplication::processEvents();
    for (const auto& [name, one] : before) {
        EXPECT_EQ(Geometry(name.toLatin1().constData()), QRect(one.topLeft() * 2, one.size() * 2))
            << name.toStdString();
    }
    EXPECT_EQ(window->findChild<QWidget*>("time")->font().pixelSize(), 2 * font);
    EXPECT_EQ(Background(), 2 * (single - QSize(0, skin::kBarHeight)));
}

// From the smallest window to a maximised one, every control shows whole, inside the window
// and clear of every other.
TEST_F(LayoutTest, NoControlOverlapsAnotherAtAnySize) {
    Start(Q(MakeWave("sizes.wav", 60000)));
    session->SetSpeed(1.75);  // the speed display shows too, at its widest
    for (const QSize size : {window->minimumSize(), QSize(240, 320), QSize(1000, 400),
                             QSize(1920, 1050), QSize(479, 900)}) {
        window->resize(size);
        QApplication::processEvents();
        ASSERT_EQ(window->size(), size);
        std::vector<QWidget*> shown;
        for (QWidget* w : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (w->isWindow() || w->isHidden() || w->objectName() == "background") continue;
            EXPECT_TRUE(window->rect().contains(w->geometry())) << w->objectName().toStdString();
            shown.push_back(w);
        }
        for (size_t i = 0; i < shown.size(); ++i) {
            for (size_t j = i + 1; j < shown.size(); ++j) {
                EXPECT_FALSE(shown[i]->geometry().intersects(shown[j]->geometry()))
                    << shown[i]->objectName().toStdString() << " and "
                    << shown[j]->objectName().toStdString() << " at " << size.width() << "x"
                    << size.height();
            }
        }
        EXPECT_GE(Geometry("waveform").height(), skin::kWaveformMinHeight);
        // An hour-long time stays readable: at most a little smaller than the other texts.
        auto* time = window->findChild<CTransparentStatic*>("time");
        time->SetText(PlayerSession::TimeText(3599, 3600));
        EXPECT_GE(time->DrawingFont().pixelSize(), 10) << size.width();
        EXPECT_EQ(Geometry("pause").center().x(), size.width() / 2 - 1);  // centred
    }
}

TEST_F(LayoutTest, EveryPieceLoadsAtItsSizeInBothResolutions) {
    for (const SkinPiece& p : kSkinPieces) {
        const QPixmap one = LoadSkinBitmap(p.id, 1.0);
        const QPixmap two = LoadSkinBitmap(p.id, 2.0);
        EXPECT_EQ(one.size(), QSize(p.width, p.height)) << p.name;
        EXPECT_EQ(two.size(), QSize(2 * p.width, 2 * p.height)) << p.name;
        EXPECT_EQ(two.deviceIndependentSize().toSize(), QSize(p.width, p.height)) << p.name;
    }
    EXPECT_TRUE(LoadSkinBitmap(999).isNull());
    EXPECT_TRUE(ComposeBackground(0, 100).isNull());
    EXPECT_EQ(ComposeBackground(240, 290, 2.0).size(), QSize(480, 580));
}

TEST_F(LayoutTest, ButtonsDrawThePressedThenFocusedThenUpImage) {
    auto* play = window->findChild<BitmapButton*>("play");
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const QImage up = LoadSkinBitmap(kPlayUp).toImage();
    const QImage focused = LoadSkinBitmap(kPlayFocused).toImage();
    const QImage pressed = LoadSkinBitmap(kPlayPressed).toImage();
    play->setFocus();
    EXPECT_EQ(play->CurrentImage().toImage(), up);  // no ring before the keyboard is used
    Key(Qt::Key_Tab);
    Key(Qt::Key_Backtab);
    ASSERT_EQ(window->focusWidget(), play);
    EXPECT_EQ(play->CurrentImage().toImage(), focused);
    play->setDown(true);
    EXPECT_EQ(play->CurrentImage().toImage(), pressed);
}

// Fraction of pixels whose colour differs by more than a small amount in any channel.
double DifferentPixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return 1.0;
    int different = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            if (std::abs(qRed(p) - qRed(q)) > 24 || std::abs(qGreen(p) - qGreen(q)) > 24 ||
                std::abs(qBlue(p) - qBlue(q)) > 24) {
                ++different;
            }
        }
    }
    return static_cast<double>(different) / (a.width() * a.height());
}

// The window at 240 x 320 with a recording loaded, against the committed picture (set
// CORVANE_UPDATE_REFERENCE=1 to rewrite it after a deliberate change of the artwork).
TEST_F(LayoutTest, WindowLooksLikeTheReferencePicture) {
    window->resize(240, 320);
    Start(Q(MakeWave("ignored.wav", 65400)) + "<cvnm:Message from Ann>");
    auto* waveform = window->findChild<WaveformView*>("waveform");
    // The panel fills in as the recording is decoded, up to its end.
    ASSERT_TRUE(WaitUntil([&] {
        return !session->Converting() && !waveform->Overview().Empty() &&
               waveform->Overview().high.back() != 0;
    }));
    Click("stop");
    const QImage grabbed = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    grabbed.save(QDir::tempPath() + "/corvane_window_grab.png");  // at the screen's scale
    const QImage shot = grabbed.scaled(240, 320);
    const QString reference = QStringLiteral(CORVANE_TEST_DATA "/player/window_240x320.png");
    const QString actual = QDir::tempPath() + "/corvane_window_240x320.png";
    shot.save(actual);
    if (qEnvironmentVariableIsSet("CORVANE_UPDATE_REFERENCE")) {
        QDir().mkpath(QStringLiteral(CORVANE_TEST_DATA "/player"));
        ASSERT_TRUE(shot.save(reference));
    }
    const QImage expected(reference);
    ASSERT_FALSE(expected.isNull()) << reference.toStdString();
    EXPECT_LT(DifferentPixels(shot, expected.convertToFormat(QImage::Format_RGB32)), 0.02)
        << "see " << actual.toStdString();
}

}  // namespace
}  // namespace playertest
