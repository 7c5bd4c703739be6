#include "settings/storedialog.h"

#include "store/copystore.h"
#include "store/filestore.h"
#include "store/pgstore.h"
#include "ui/filedialog.h"
#include "ui/guard.h"
#include "ui/messagebox.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace zelk::settings {

namespace {

QLineEdit* field(const QString& objectName, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(objectName);
    return edit;
}

} // namespace

StoreDialog::StoreDialog(store::FileStore& localFile, QWidget* parent)
    : QDialog(parent), localFile_(localFile) {
    setObjectName(QStringLiteral("StoreDialog"));
    setWindowTitle(QStringLiteral("数据存储"));
    auto* layout = new QVBoxLayout(this);
    fileChoice_ = new QRadioButton(QStringLiteral("本机文件（加密的数据库文件）"), this);
    fileChoice_->setObjectName(QStringLiteral("fileChoice"));
    serverChoice_ =
        new QRadioButton(QStringLiteral("数据库服务器（PostgreSQL，多台电脑共用）"), this);
    serverChoice_->setObjectName(QStringLiteral("serverChoice"));
    layout->addWidget(fileChoice_);
    layout->addWidget(serverChoice_);

    auto* form = new QFormLayout;
    host_ = field(QStringLiteral("host"), this);
    // A standby that takes over is named after the primary, separated by a comma.
    host_->setPlaceholderText(QStringLiteral("主服务器,备用服务器"));
    port_ = field(QStringLiteral("port"), this);
    database_ = field(QStringLiteral("database"), this);
    user_ = field(QStringLiteral("user"), this);
    password_ = field(QStringLiteral("password"), this);
    password_->setEchoMode(QLineEdit::Password);
    tls_ = new QCheckBox(QStringLiteral("加密连接，并核对服务器的证书和名称"), this);
    tls_->setObjectName(QStringLiteral("tls"));
    certificate_ = field(QStringLiteral("certificate"), this);
    auto* browse = new QPushButton(QStringLiteral("浏览…"), this);
    browse->setObjectName(QStringLiteral("browseCertificate"));
    auto* certificateRow = new QHBoxLayout;
    certificateRow->addWidget(certificate_);
    certificateRow->addWidget(browse);
    form->addRow(QStringLiteral("服务器地址："), host_);
    form->addRow(QStringLiteral("端口："), port_);
    form->addRow(QStringLiteral("数据库名："), database_);
    form->addRow(QStringLiteral("用户名："), user_);
    form->addRow(QStringLiteral("密码："), password_);
    form->addRow(QString(), tls_);
    form->addRow(QStringLiteral("根证书文件："), certificateRow);
    layout->addLayout(form);

    auto* buttons = new QHBoxLayout;
    auto* copy = new QPushButton(QStringLiteral("复制本机票据到服务器(&C)…"), this);
    copy->setObjectName(QStringLiteral("copyButton"));
    buttons->addWidget(copy);
    connect(copy, &QPushButton::clicked, this, &StoreDialog::copyClicked);
    auto* save = new QPushButton(QStringLiteral("保存(&S)"), this);
    save->setObjectName(QStringLiteral("saveButton"));
    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    buttons->addStretch();
    buttons->addWidget(save);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    connect(fileChoice_, &QRadioButton::toggled, this, &StoreDialog::updateEnabled);
    connect(tls_, &QCheckBox::toggled, this, &StoreDialog::updateEnabled);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString path =
            ui::FileDialog::openFile(this, QStringLiteral("选择根证书文件"), certificate_->text(),
                                     QStringLiteral("证书 (*.crt *.pem);;所有文件 (*)"));
        if (!path.isEmpty())
            certificate_->setText(path);
    });
    connect(save, &QPushButton::clicked, this, [this] {
        if (saveClicked())
            accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    setConfig(store::StoreConfig());
    ui::runGuarded(this, [this] { setConfig(store::loadStoreConfig(localFile_)); });
}

store::StoreConfig StoreDialog::config() const {
    store::StoreConfig config;
    config.server = serverChoice_->isChecked();
    config.host = host_->text();
    config.port = port_->text();
    config.database = database_->text();
    config.user = user_->text();
    config.password = password_->text();
    config.tls = tls_->isChecked();
    config.certificate = certificate_->text();
    return config;
}

void StoreDialog::setConfig(const store::StoreConfig& config) {
    (config.server ? serverChoice_ : fileChoice_)->setChecked(true);
    host_->setText(config.host);
    port_->setText(config.port);
    database_->setText(config.database);
    user_->setText(config.user);
    password_->setText(config.password);
    tls_->setChecked(config.tls);
    certificate_->setText(config.certificate);
    updateEnabled();
}

bool StoreDialog::saveClicked() {
    return ui::runGuarded(this, [this] {
        const store::StoreConfig values = config();
        store::checkStoreConfig(values);
        store::saveStoreConfig(localFile_, values);
        ui::MessageBox::information(this,
                                    QStringLiteral("数据存储设置已保存，下次启动本程序时生效。"));
    });
}

bool StoreDialog::copyClicked() {
    bool copied = false;
    ui::runGuarded(this, [&] {
        store::StoreConfig values = config();
        values.server = true;
        store::checkStoreConfig(values);
        if (!ui::MessageBox::question(
                this, QStringLiteral("要把本机文件中的全部票据、明细和基础信息复制到服务器 %1 上的"
                                     "数据库 %2 吗？服务器上已有票据时不会复制任何内容。")
                          .arg(values.host, values.database)))
            return;
        store::PgStore server(store::serverConnInfo(values));
        // The bar counts receipts and lines; Qt's bar holds an int, so it counts thousandths.
        QProgressDialog bar(QStringLiteral("正在复制本机票据到服务器…"), QString(), 0, 1000, this);
        bar.setWindowModality(Qt::WindowModal);
        bar.setMinimumDuration(500);
        const store::CopySummary summary =
            store::copyStore(localFile_, server, [&bar](qint64 done, qint64 total) {
                bar.setValue(total > 0 ? int(done * 1000 / total) : 1000);
            });
        bar.reset();
        copied = true;
        ui::MessageBox::information(
            this, QStringLiteral("已复制 %1 张票据、%2 行明细、%3 项设置。要改用服务器，请选择"
                                 "“数据库服务器”并保存，下次启动本程序时生效。")
                      .arg(summary.receipts)
                      .arg(summary.lines)
                      .arg(summary.settings));
    });
    return copied;
}

void StoreDialog::updateEnabled() {
    const bool server = serverChoice_->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(host_), static_cast<QWidget*>(port_),
                       static_cast<QWidget*>(database_), static_cast<QWidget*>(user_),
                       static_cast<QWidget*>(password_), static_cast<QWidget*>(tls_)})
        w->setEnabled(server);
    certificate_->setEnabled(server && tls_->isChecked());
}

} // namespace zelk::settings
