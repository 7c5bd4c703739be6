#include "app/chinese.h"
#include "app/preparedreportviewer.h"
#include "app/tfrmqj.h"
#include "settings/backupdialog.h"
#include "ui/messagebox.h"
#include "ui/windowfont.h"

#include <QApplication>
#include <QIcon>
#include <QScreen>
#include <exception>
#include <memory>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // The desktop entry and the window manager show this icon (installed in the icon theme).
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("com.velkor.zelk")));
    try {
        // Without the translations (qt6-translations-l10n) Qt's own buttons stay English; the
        // program still works.
        zelk::app::setUpChinese();
        QApplication::setFont(zelk::ui::windowFont());
        // A file handed over by the file manager is a prepared report (.zrp): only the preview.
        const QStringList args = QCoreApplication::arguments();
        if (args.size() > 1)
            return zelk::app::showPreparedReportFile(args.at(1),
                                                     QCoreApplication::applicationFilePath());
        // Building the window uses no database; it opens the database when it is first shown.
        auto frmqj = std::make_unique<zelk::app::Tfrmqj>(QCoreApplication::applicationFilePath());
        // Without a window manager (a bare X server) maximising does nothing: the window is
        // given the screen's size first, so it fills the screen either way.
        frmqj->setGeometry(frmqj->screen()->availableGeometry());
        frmqj->showMaximized();
        const int result = QApplication::exec();
        // The window closes the database as it goes, before the backup copies the file.
        const QString database = frmqj->databasePath();
        frmqj.reset();
        // Left normally: the day's automatic backup of the local file.
        if (result == 0)
            zelk::settings::backUpOnExit(nullptr, database);
        return result;
    } catch (const std::exception& error) {
        zelk::ui::MessageBox::error(nullptr, QString::fromUtf8(error.what()));
        return 1;
    }
}
