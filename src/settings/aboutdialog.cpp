#include "settings/aboutdialog.h"

#include "ui/windowfont.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>
#include <QPixmap>
#include <QScreen>
#include <QVBoxLayout>

// The icons are compiled into this static library; a static library's resources have to be
// registered by hand before first use, and only outside any namespace.
static void initSettingsResources() {
    Q_INIT_RESOURCE(icons);
}

namespace zelk::settings {

TFrmAboutUs::TFrmAboutUs(QWidget* parent) : QDialog(parent) {
    initSettingsResources();
    setObjectName(QStringLiteral("TFrmAboutUs"));
    setWindowTitle(QStringLiteral("关于..."));
    // Only the close box: no minimise, maximise or context-help buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFont(ui::windowFont());
    createLayout();
}

QString TFrmAboutUs::titleText() {
    return QStringLiteral("Velkor收据套打系统");
}

QString TFrmAboutUs::detailText() {
    return QStringLiteral("版本 ") + QStringLiteral(ZELK_VERSION) +
           QStringLiteral(" · 收据录入、保存、查询与套打");
}

void TFrmAboutUs::createLayout() {
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("aboutPanel"));
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setAutoFillBackground(true);
    QPalette panelPalette = panel->palette();
    panelPalette.setColor(QPalette::Window, panelPalette.color(QPalette::ToolTipBase));
    panelPalette.setColor(QPalette::WindowText, panelPalette.color(QPalette::ToolTipText));
    panel->setPalette(panelPalette);

    auto* icon = new QLabel(panel);
    icon->setObjectName(QStringLiteral("iconLabel"));
    icon->setPixmap(QPixmap(QStringLiteral(":/icons/zelk32.png")));
    icon->setFixedSize(32, 32);

    auto* title = new QLabel(titleText(), panel);
    title->setObjectName(QStringLiteral("titleLabel"));
    QFont titleFont = font();
    titleFont.setPixelSize(19);
    titleFont.setBold(true);
    title->setFont(titleFont);
    QPalette titlePalette = title->palette();
    titlePalette.setColor(QPalette::WindowText, QColor(0xFF, 0x00, 0xFF));
    title->setPalette(titlePalette);

    auto* detail = new QLabel(detailText(), panel);
    detail->setObjectName(QStringLiteral("detailLabel"));

    auto* texts = new QVBoxLayout;
    texts->setSpacing(8);
    texts->addWidget(title);
    texts->addWidget(detail);

    auto* panelLayout = new QHBoxLayout(panel);
    panelLayout->setContentsMargins(16, 16, 24, 16);
    panelLayout->setSpacing(16);
    panelLayout->addWidget(icon, 0, Qt::AlignTop);
    panelLayout->addLayout(texts);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(panel);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TFrmAboutUs::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    centreOnScreen();
}

void TFrmAboutUs::centreOnScreen() {
    const QScreen* s = screen();
    if (!s)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(s->availableGeometry().center());
    move(frame.topLeft());
}

} // namespace zelk::settings
