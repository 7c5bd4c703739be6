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
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QSaveFile>
#include <QVBoxLayout>

namespace zelk::settings {

namespace {

const QString title = QStringLiteral("导入旧数据");

// Writes the summary to a text file the operator chooses (UTF-8).
void saveSummary(QWidget* parent, const QString& text) {
    const QString path = ui::FileDialog::saveFile(parent, QStringLiteral("保存导入结果"),
                                                  QStringLiteral("导入结果.txt"),
                                                  QStringLiteral("文本文件 (*.txt);;所有文件 (*)"));
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit())
        ui::MessageBox::error(parent, QStringLiteral("无法保存文件：%1").arg(path),
                              file.errorString());
}

void printSummary(QPlainTextEdit* view) {
    QPrinter printer;
    QPrintDialog dialog(&printer, view->window());
    dialog.setWindowTitle(QStringLiteral("打印导入结果"));
    if (dialog.exec() == QDialog::Accepted)
        view->print(&printer);
}

} // namespace

QDialog* showImportSummary(QWidget* parent, const QString& text) {
    auto* dialog = new QDialog(parent);
    dialog->setObjectName(QStringLiteral("legacySummaryDialog"));
    dialog->setWindowTitle(title);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->resize(720, 480);
    auto* layout = new QVBoxLayout(dialog);
    auto* view = new QPlainTextEdit(text, dialog);
    view->setObjectName(QStringLiteral("legacySummary"));
    view->setReadOnly(true);
    // Long lines wrap instead of running off the window.
    view->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    layout->addWidget(view);
    auto* buttons = new QDialogButtonBox(dialog);
    QPushButton* save =
        buttons->addButton(QStringLiteral("保存为文本…"), QDialogButtonBox::ActionRole);
    save->setObjectName(QStringLiteral("saveSummaryButton"));
    QPushButton* print = buttons->addButton(QStringLiteral("打印…"), QDialogButtonBox::ActionRole);
    print->setObjectName(QStringLiteral("printSummaryButton"));
    QPushButton* close = buttons->addButton(QStringLiteral("关闭"), QDialogButtonBox::AcceptRole);
    close->setObjectName(QStringLiteral("closeSummaryButton"));
    layout->addWidget(buttons);
    QObject::connect(save, &QPushButton::clicked, dialog,
                     [dialog, text] { saveSummary(dialog, text); });
    QObject::connect(print, &QPushButton::clicked, dialog, [view] { printSummary(view); });
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    dialog->open();
    return dialog;
}

bool askLegacyImport(QWidget* parent, QString* path, bool* settings) {
    *path = ui::FileDialog::openFile(
        parent, QStringLiteral("选择旧程序的数据文件（Data\\zelk.mdb）"), QString(),
        QStringLiteral("Access 数据文件 (*.mdb *.MDB);;所有文件 (*)"));
    if (path->isEmpty())
        return false;
    using Answer = ui::MessageBox::Answer;
    const Answer answer = ui::MessageBox::askWithCancel(
        parent,
        QStringLiteral("是否同时导入旧程序的基础信息（收款单位、行业分类、开票人、收据备注）？\n"
                       "选“否”则保留本程序中现有的基础信息。"));
    if (answer == Answer::Cancel)
        return false;
    *settings = answer == Answer::Yes;
    return true;
}

LegacyImportResult importLegacyFile(QWidget* parent, store::FileStore& file, const QString& path,
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
    legacy::LegacyImporter importer(file);
    importer.setImportSettings(settings);
    const auto step = [&](qint64 done, qint64 total) {
        progress.setValue(total > 0 ? int(done * steps / total) : 0);
        // Keeps the window answering between rows; the dialog is window-modal, so only "取消"
        // can be pressed meanwhile.
        QCoreApplication::processEvents();
        return !progress.wasCanceled();
    };
    const QString failed = QStringLiteral("导入失败，数据库没有任何改动：\n");
    LegacyImportResult result;
    for (;;) {
        try {
            result.summary = importer.run(path, step);
            break;
        } catch (const legacy::AlreadyImported& repeat) {
            progress.hide();
            if (!ui::MessageBox::question(parent, repeat.message() +
                                                      QStringLiteral("\n\n仍要再导入一遍吗？")))
                return {};
            importer.setAgain(true);
            progress.reset();
            progress.show();
        } catch (const legacy::ImportCancelled&) {
            progress.close();
            ui::MessageBox::information(parent, QStringLiteral("已取消导入，数据库没有任何改动。"));
            return {};
        } catch (const legacy::LegacyError& error) {
            progress.close();
            ui::MessageBox::error(parent, failed + error.message(), error.detail());
            return {};
        } catch (const data::DatabaseError& error) {
            progress.close();
            ui::MessageBox::error(parent, failed + error.message());
            return {};
        }
    }
    progress.close();
    result.imported = true;
    result.settings = settings;
    result.summaryDialog = showImportSummary(parent, result.summary.text());
    return result;
}

} // namespace zelk::settings
