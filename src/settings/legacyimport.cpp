#include "settings/legacyimport.h"

#include "data/databaseerror.h"
#include "legacy/legacyerror.h"
#include "legacy/legacyimporter.h"
#include "ui/filedialog.h"
#include "ui/messagebox.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QVBoxLayout>

namespace zelk::settings {

namespace {

const QString title = QStringLiteral("导入旧数据");

QDialog* summaryDialog(QWidget* parent, const QString& text) {
    auto* dialog = new QDialog(parent);
    dialog->setObjectName(QStringLiteral("legacySummaryDialog"));
    dialog->setWindowTitle(title);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->resize(640, 420);
    auto* layout = new QVBoxLayout(dialog);
    auto* view = new QPlainTextEdit(text, dialog);
    view->setObjectName(QStringLiteral("legacySummary"));
    view->setReadOnly(true);
    view->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(view);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, dialog);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    dialog->open();
    return dialog;
}

} // namespace

void runLegacyImport(QWidget* parent, data::Connection& connection) {
    const QString path = ui::FileDialog::openFile(
        parent, QStringLiteral("选择旧程序的数据文件（Data\\zelk.mdb）"), QString(),
        QStringLiteral("Access 数据文件 (*.mdb *.MDB);;所有文件 (*)"));
    if (path.isEmpty())
        return;
    using Answer = ui::MessageBox::Answer;
    const Answer answer = ui::MessageBox::askWithCancel(
        parent,
        QStringLiteral("是否同时导入旧程序的基础信息（收款单位、行业分类、开票人、收据备注）？\n"
                       "选“否”则保留本程序中现有的基础信息。"));
    if (answer == Answer::Cancel)
        return;
    importLegacyFile(parent, connection, path, answer == Answer::Yes);
}

QDialog* importLegacyFile(QWidget* parent, data::Connection& connection, const QString& path,
                          bool settings) {
    constexpr int steps = 1000;
    QProgressDialog progress(QStringLiteral("正在导入旧数据……"), QStringLiteral("取消"), 0, steps,
                             parent);
    progress.setObjectName(QStringLiteral("legacyProgress"));
    progress.setWindowTitle(title);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setValue(0);
    legacy::LegacyImporter importer(connection);
    importer.setImportSettings(settings);
    QString summary;
    try {
        summary = importer
                      .run(path,
                           [&](qint64 done, qint64 total) {
                               progress.setValue(total > 0 ? int(done * steps / total) : 0);
                               // Keeps the window answering between rows; the dialog is
                               // window-modal, so only "取消" can be pressed meanwhile.
                               QCoreApplication::processEvents();
                               return !progress.wasCanceled();
                           })
                      .text();
    } catch (const legacy::ImportCancelled&) {
        progress.close();
        ui::MessageBox::information(parent, QStringLiteral("已取消导入，数据库没有任何改动。"));
        return nullptr;
    } catch (const legacy::LegacyError& error) {
        progress.close();
        ui::MessageBox::error(parent,
                              QStringLiteral("导入失败，数据库没有任何改动：\n") + error.message());
        return nullptr;
    } catch (const data::DatabaseError& error) {
        progress.close();
        ui::MessageBox::error(parent,
                              QStringLiteral("导入失败，数据库没有任何改动：\n") + error.message());
        return nullptr;
    }
    progress.close();
    return summaryDialog(parent, summary);
}

} // namespace zelk::settings
