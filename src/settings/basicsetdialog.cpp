#include "settings/basicsetdialog.h"

#include "store/store.h"
#include "ui/fieldlength.h"
#include "ui/guard.h"
#include "ui/messagebox.h"
#include "ui/windowfont.h"

#include <QFont>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace zelk::settings {

namespace {

constexpr int fieldWidth = 360;
constexpr int noticeHeight = 96; // about five lines of 15 px text

} // namespace

TfrmbasicSet::~TfrmbasicSet() = default;

TfrmbasicSet::TfrmbasicSet(store::Store& store, QWidget* parent) : QDialog(parent), store_(store) {
    setObjectName(QStringLiteral("TfrmbasicSet"));
    setWindowTitle(QStringLiteral("基础信息设置"));
    setFont(ui::windowFont());
    createLayout();
    ui::removeLengthLimits(this);
}

void TfrmbasicSet::createLayout() {
    auto* fields = new QGridLayout;
    fields->setHorizontalSpacing(8);
    fields->setVerticalSpacing(10);

    auto addRow = [&](int row, const QString& caption, QWidget* field, const QString& name) {
        field->setObjectName(name);
        field->setFixedWidth(fieldWidth);
        auto* label = new QLabel(caption, this);
        label->setObjectName(name + QStringLiteral("Label"));
        label->setBuddy(field);
        // A one-line caption sits level with a one-line field, and at the top of the notice.
        const bool multiLine = qobject_cast<QPlainTextEdit*>(field) != nullptr;
        fields->addWidget(label, row, 0,
                          Qt::AlignRight | (multiLine ? Qt::AlignTop : Qt::AlignVCenter));
        fields->addWidget(field, row, 1);
    };

    issuerEdit_ = new QLineEdit(this);
    payeeEdit_ = new QLineEdit(this);
    categoryEdit_ = new QLineEdit(this);
    noticeEdit_ = new QPlainTextEdit(this);
    noticeEdit_->setFixedHeight(noticeHeight);
    noticeEdit_->setTabChangesFocus(true);
    addRow(0, QStringLiteral("开票人"), issuerEdit_, QStringLiteral("issuerEdit"));
    addRow(1, QStringLiteral("收款方名称"), payeeEdit_, QStringLiteral("payeeEdit"));
    addRow(2, QStringLiteral("行业分类"), categoryEdit_, QStringLiteral("categoryEdit"));
    addRow(3, QStringLiteral("票据说明"), noticeEdit_, QStringLiteral("noticeEdit"));

    // The bottom bar. Neither button reacts to Enter in a field, so Enter never saves by
    // accident.
    auto* bar = new QFrame(this);
    bar->setObjectName(QStringLiteral("buttonBar"));
    bar->setFrameShape(QFrame::StyledPanel);
    auto* barLayout = new QHBoxLayout(bar);
    saveButton_ = new QPushButton(QStringLiteral("保存(&S)"), bar);
    saveButton_->setObjectName(QStringLiteral("saveButton"));
    exitButton_ = new QPushButton(QStringLiteral("退出(&Q)"), bar);
    exitButton_->setObjectName(QStringLiteral("exitButton"));
    for (QPushButton* b : {saveButton_, exitButton_}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    barLayout->addStretch();
    barLayout->addWidget(saveButton_);
    barLayout->addWidget(exitButton_);
    connect(saveButton_, &QPushButton::clicked, this, &TfrmbasicSet::BitBtn19Click);
    connect(exitButton_, &QPushButton::clicked, this, &TfrmbasicSet::BitBtn4Click);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addSpacing(6);
    layout->addWidget(bar);
    // A fixed-size dialog: the size the layout asks for, no resizing.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setSizeGripEnabled(false);

    setTabOrder(issuerEdit_, payeeEdit_);
    setTabOrder(payeeEdit_, categoryEdit_);
    setTabOrder(categoryEdit_, noticeEdit_);
    setTabOrder(noticeEdit_, saveButton_);
    setTabOrder(saveButton_, exitButton_);
}

void TfrmbasicSet::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TfrmbasicSet::FormShow() {
    load();
}

void TfrmbasicSet::load() {
    // After a failed lookup the fields do not hold what is stored, so saving them would
    // overwrite the stored settings: saving stays off.
    loaded_ = ui::runGuarded(this, [&] { setValues(loadBasicSettings(store_)); });
    saveButton_->setEnabled(loaded_);
    if (!loaded_)
        saveButton_->setToolTip(
            QStringLiteral("读取已保存的设置失败，不能保存。请关闭后重新打开本窗口。"));
}

BasicSettings TfrmbasicSet::values() const {
    BasicSettings s;
    s.issuer = issuerEdit_->text();
    s.payee = payeeEdit_->text();
    s.category = categoryEdit_->text();
    s.notice = noticeEdit_->toPlainText();
    return s;
}

void TfrmbasicSet::setValues(const BasicSettings& values) {
    issuerEdit_->setText(values.issuer);
    payeeEdit_->setText(values.payee);
    categoryEdit_->setText(values.category);
    noticeEdit_->setPlainText(values.notice);
}

void TfrmbasicSet::BitBtn19Click() {
    if (!loaded_)
        return;
    ui::runGuarded(this, [&] {
        saveBasicSettings(store_, values());
        ui::MessageBox::information(this, QStringLiteral("保存成功！"));
    });
}

void TfrmbasicSet::BitBtn4Click() {
    reject();
}

} // namespace zelk::settings
