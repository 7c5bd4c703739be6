#pragma once

#include <QString>

class QDialog;
class QWidget;

namespace zelk::data {
class Connection;
}

namespace zelk::settings {

// 设置 → 导入旧数据…: asks for the old program's Access file and whether its basic information
// (settings 27-30) comes along, then imports it.
void runLegacyImport(QWidget* parent, data::Connection& connection);

// The import itself, once the questions are answered: a progress dialog with "取消" while it
// works (the window keeps answering; a cancel leaves the database as it was), then the summary
// in a window-modal dialog that is opened and returned without waiting for it. A failure or a
// cancel is told in a message box instead, and nullptr returned.
QDialog* importLegacyFile(QWidget* parent, data::Connection& connection, const QString& path,
                          bool settings);

} // namespace zelk::settings
