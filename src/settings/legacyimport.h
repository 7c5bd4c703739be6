#pragma once

#include "legacy/importsummary.h"

#include <QString>

class QDialog;
class QWidget;

namespace zelk::store {
class FileStore;
}

namespace zelk::settings {

// What an import from the window did.
struct LegacyImportResult {
    bool imported = false;
    bool settings = false; // the basic information came along
    legacy::ImportSummary summary;
    QDialog* summaryDialog = nullptr; // opened, not waited for
};

// 设置 → 导入旧数据…: asks for the old program's Access file and whether its basic information
// (settings 27-30) comes along; false when the operator cancelled either question.
bool askLegacyImport(QWidget* parent, QString* path, bool* settings);

// The import itself, once the questions are answered: a progress dialog with "取消" while it
// works (the window keeps answering; a cancel leaves the database as it was), then the summary
// in a window-modal dialog that is opened without waiting for it. Receipts imported before
// are named and imported again only when the operator confirms. A failure or a cancel is told
// in a message box instead (libmdb's own text as its detail).
LegacyImportResult importLegacyFile(QWidget* parent, store::FileStore& file, const QString& path,
                                    bool settings);

// The summary's window: the whole text, wrapped, with "保存为文本…", "打印…" and "关闭".
QDialog* showImportSummary(QWidget* parent, const QString& text);

} // namespace zelk::settings
