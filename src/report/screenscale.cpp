#include "report/screenscale.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QHash>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QSettings>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace zelk::report {

namespace {

QString settingsKey(const QScreen* screen) {
    return QStringLiteral("screenScale/") + ScreenScale::screenKey(screen);
}

} // namespace

QString ScreenScale::screenKey(const QScreen* screen) {
    if (!screen)
        return QString();
    const QSize size = screen->size();
    // Slashes would open settings groups.
    return QStringLiteral("%1 %2x%3")
        .arg(screen->name().replace(u'/', u'_'))
        .arg(size.width())
        .arg(size.height());
}

// The factors read so far: every paint asks, and the settings file is read once per screen.
static QHash<QString, double>& factors() {
    static QHash<QString, double> known;
    return known;
}

double ScreenScale::factor(const QScreen* screen) {
    if (!screen)
        return 1.0;
    const QString key = settingsKey(screen);
    auto it = factors().constFind(key);
    if (it == factors().cend()) {
        const double f =
            QSettings(QStringLiteral("zelk"), QStringLiteral("zelk")).value(key, 1.0).toDouble();
        it = factors().insert(key, f >= kMin && f <= kMax ? f : 1.0);
    }
    return *it;
}

void ScreenScale::setFactor(const QScreen* screen, double factor) {
    if (!screen)
        return;
    QSettings settings(QStringLiteral("zelk"), QStringLiteral("zelk"));
    factor = std::clamp(factor, kMin, kMax);
    if (std::abs(factor - 1.0) < 1e-6)
        settings.remove(settingsKey(screen));
    else
        settings.setValue(settingsKey(screen), factor);
    factors().insert(settingsKey(screen), factor);
}

double ScreenScale::fromBar(double drawnPx, double stretchedPx) {
    return drawnPx > 0 ? std::clamp(stretchedPx / drawnPx, kMin, kMax) : 1.0;
}

ScreenCalibrationDialog::ScreenCalibrationDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("screenCalibrationDialog"));
    setWindowTitle(QStringLiteral("屏幕校准"));
    auto* how =
        new QLabel(QStringLiteral("把尺子贴在屏幕上，拖动滑块，使下面的黑条正好是 100 毫米长。"
                                  "确定后，这台显示器上预览和模板设计的“100%”就是纸张的实际大小。"),
                   this);
    how->setWordWrap(true);
    bar_ = new QWidget(this);
    bar_->setMinimumHeight(40);
    bar_->installEventFilter(this);
    slider_ = new QSlider(Qt::Horizontal, this);
    slider_->setObjectName(QStringLiteral("screenScaleSlider"));
    slider_->setRange(int(ScreenScale::kMin * 1000), int(ScreenScale::kMax * 1000));
    slider_->setValue(int(std::lround(ScreenScale::factor(screen()) * 1000)));
    value_ = new QLabel(this);
    connect(slider_, &QSlider::valueChanged, this, [this](int v) {
        value_->setText(QStringLiteral("%1%").arg(v / 10.0, 0, 'f', 1));
        bar_->update();
    });
    value_->setText(QStringLiteral("%1%").arg(slider_->value() / 10.0, 0, 'f', 1));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(how);
    layout->addWidget(bar_);
    layout->addWidget(slider_);
    layout->addWidget(value_);
    layout->addWidget(buttons);
    setMinimumWidth(int(drawnPx() * ScreenScale::kMax) + 60);
}

double ScreenCalibrationDialog::drawnPx() const {
    return 100.0 * logicalDpiX() / 25.4;
}

double ScreenCalibrationDialog::stretchedPx() const {
    return drawnPx() * slider_->value() / 1000.0;
}

bool ScreenCalibrationDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == bar_ && event->type() == QEvent::Paint) {
        QPainter p(bar_);
        p.fillRect(QRectF(10, 10, stretchedPx(), 20), Qt::black);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void ScreenCalibrationDialog::accept() {
    ScreenScale::setFactor(screen(), ScreenScale::fromBar(drawnPx(), stretchedPx()));
    QDialog::accept();
}

} // namespace zelk::report
