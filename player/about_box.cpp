#include "player/about_box.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

#include "corvane_version.h"
#include "player/skin/skin.h"

CAboutBox::CAboutBox(QWidget* parent) : QDialog(parent) {
    InitPlayerResources();
    setWindowTitle(QStringLiteral("About Corvane"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* logo = new QLabel(this);
    QPixmap picture(QStringLiteral(":/logo.png"));
    picture.setDevicePixelRatio(picture.width() > 55 ? picture.width() / 55.0 : 1.0);
    logo->setPixmap(picture);
    logo->setFixedSize(55, 55);

    auto plain = [this](const QString& text) {
        auto* label = new QLabel(text, this);
        label->setTextFormat(Qt::PlainText);
        return label;
    };
    title_ = plain(QStringLiteral("Corvane"));
    platform_ = plain(PlatformText());
    QLabel* version = plain(QStringLiteral("Version " CORVANE_VERSION));
    QLabel* notice = plain(QStringLiteral("\u00A9 2026 The Corvane developers. MIT licence."));
    notice->setAlignment(Qt::AlignHCenter);

    QFont fontA = title_->font();
    fontA.setPixelSize(18);
    fontA.setWeight(QFont::Bold);
    fontA.setStyleStrategy(QFont::PreferAntialias);
    QFont fontB = fontA;
    fontB.setPixelSize(12);
    title_->setFont(fontA);
    platform_->setFont(fontB);

    auto* grid = new QGridLayout;
    grid->addWidget(logo, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(title_, 0, 1);
    grid->addWidget(platform_, 1, 1);
    grid->addWidget(version, 2, 1, Qt::AlignTop);
    grid->setColumnStretch(1, 1);
    grid->setHorizontalSpacing(12);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addStretch(1);
    layout->addWidget(notice);
    layout->addWidget(buttons);
    setMinimumWidth(234);
}

QString CAboutBox::PlatformText() {
#if defined(Q_OS_LINUX)
    const char* system = "Linux";
#elif defined(Q_OS_WIN)
    const char* system = "Windows";
#elif defined(Q_OS_MACOS)
    const char* system = "macOS";
#else
    const char* system = "Unix";
#endif
    return QStringLiteral("For %1\nDesktop").arg(QLatin1String(system));
}
