#pragma once

#include "report/preparedreport.h"
#include "report/printablearea.h"

#include <QDialog>
#include <QMap>
#include <QPrinter>

#include <functional>
#include <memory>

class QAction;
class QFileSystemWatcher;
class QLabel;
class QLineEdit;
class QScrollArea;
class QSpinBox;
class QTimer;
class QToolBar;

namespace zelk::report {

class PageView;

// The modal print preview: shows the laid-out pages on the blank form, and
// opens, saves, exports, prints and searches them. Every control has an
// object name so tests can find it; file dialogs and message boxes go through
// replaceable hooks so tests never block on them.
class PreviewWindow : public QDialog {
    Q_OBJECT

public:
    enum class FileAction { Open, Save, ExportPdf };
    // Returns the chosen path, or an empty string when the operator cancels.
    using FileChooser = std::function<QString(FileAction action, const QString& suggestedName)>;
    using MessageHandler = std::function<void(const QString& text)>;
    // Sends the report to the printer as set up; throws ReportError. The default is
    // printReport; the program's printing layer puts the printer's stored offset in.
    using PrintHandler = std::function<void(QPrinter& printer, const PreparedReport& report)>;

    explicit PreviewWindow(const PreparedReport& report, QWidget* parent = nullptr);
    ~PreviewWindow() override;

    // Shows the report in a modal preview and returns when it is closed.
    // onHelp, when set, is called by the help button (it opens the help file).
    static int showReport(const PreparedReport& report, QWidget* parent,
                          std::function<void()> onHelp = {});

    const PreparedReport& report() const { return report_; }
    void setReport(const PreparedReport& report);

    int pageCount() const { return int(report_.pages.size()); }
    int currentPage() const { return page_; } // 0-based
    void setCurrentPage(int page);

    // 1.0 shows the paper at its real size on a screen of the logical DPI.
    double zoom() const { return zoom_; }
    void setZoom(double zoom);
    static constexpr double kMinZoom = 0.1;
    static constexpr double kMaxZoom = 5.0;

    // Looks for the next text containing needle (case-insensitive) after the
    // current match, wrapping round to the first page; shows its page,
    // highlights it and scrolls it into view. Returns false when no text
    // matches.
    bool findNext(const QString& needle);
    // The highlighted match: page and index into Page::texts, or -1, -1.
    int matchPage() const { return matchPage_; }
    int matchIndex() const { return matchIndex_; }

    // The commands behind the toolbar, without dialogs. Errors go to the
    // message handler; the return value says whether it worked.
    bool openPreparedFile(const QString& path);
    bool savePreparedFile(const QString& path);
    bool exportPdfFile(const QString& path);
    bool printTo(QPrinter& printer);

    void setFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }
    void setMessageHandler(MessageHandler handler) { showMessage_ = std::move(handler); }
    void setHelpHandler(std::function<void()> handler) { onHelp_ = std::move(handler); }
    void setPrintHandler(PrintHandler handler) { print_ = std::move(handler); }
    // Asked before the print dialog opens: a non-empty answer (why nothing can be printed) is
    // shown instead of the dialog.
    void setPrintCheck(std::function<QString()> check) { printCheck_ = std::move(check); }

    // The printer the print button uses, with the report's page set-up. Layers above add their
    // own printing commands to the tool bar and show notes in the status line.
    QPrinter& printer();
    QToolBar* toolBar() const { return toolBar_; }
    void setStatusText(const QString& text);
    // The status line: a warning naming every field whose text is cut at its box's edge (those
    // boxes are outlined in red on screen), then the note set above.
    QString statusText() const;
    // The margins the printer cannot print: shaded on screen (never printed), and the status line
    // names every field that reaches into them. refreshPrintableArea reads them from the
    // window's printer (after a layer above chose it; the page set-up does it too).
    void setPrintableArea(const PrintableArea& area);
    void refreshPrintableArea();
    const PrintableArea& printableArea() const { return printable_; }
    // The operator's names of the report's fields (columns and variables), for the warning.
    void setFieldNames(const QMap<QString, QString>& names);

    // Lays the report out again from its template; throws ReportError.
    using Preparer = std::function<PreparedReport()>;
    // With a template source the window watches the template file (also when another copy of
    // the program saves it, by writing a new file in its place) and lays the report out again
    // whenever the file changes, keeping page and zoom. Printing and export check the file
    // first, so what is printed is always what is shown and what the template says.
    void setTemplateSource(const QString& templatePath, Preparer prepare);
    // Compares the template on disk with what the shown report was laid out from and lays it
    // out again when it changed. False when the changed template cannot be laid out: the
    // status line says why, and printing and export are refused until it can.
    bool refreshFromTemplate();

    // Shows a "设计" button (before 打印) that calls handler; the report
    // library knows nothing of what it opens.
    void setDesignHandler(std::function<void()> handler);
    // What every preview window gets as design handler (the program opens the
    // template designer with the preview as parent); empty: no button.
    static void setDesignHook(std::function<void(QWidget* preview)> hook);

public slots:
    void zoomIn();
    void zoomOut();
    void fitWidth();
    void fitPage();
    void actualSize();
    void firstPage();
    void previousPage();
    void nextPage();
    void lastPage();

signals:
    void helpRequested();
    void currentPageChanged(int page);
    void zoomChanged(double zoom);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void createActions();
    void createLayout();
    void updateControls();
    void updateStatus();
    void scrollToMatch();
    void message(const QString& text);
    QString chooseFile(FileAction action, const QString& suggestedName);

    void onOpen();
    void onSave();
    void onExportPdf();
    void onPrint();
    void onPageSetup();
    void onFind();
    void onHelp();

    PreparedReport report_;
    int page_ = 0;
    double zoom_ = 1.0;
    int matchPage_ = -1;
    int matchIndex_ = -1;
    bool fittedOnce_ = false;
    std::unique_ptr<QPrinter> printer_; // made on first print or page set-up

    FileChooser chooseFile_;
    MessageHandler showMessage_;
    std::function<void()> onHelp_;
    PrintHandler print_;
    std::function<QString()> printCheck_;
    QString note_;
    QString templateNote_; // what the last look at the template found
    QString templatePath_;
    Preparer prepare_;
    QByteArray templateSeen_; // the template's content the shown report comes from
    bool stale_ = false;      // the template changed and cannot be laid out
    QFileSystemWatcher* watcher_ = nullptr;
    QTimer* refreshTimer_ = nullptr;
    QMap<QString, QString> fieldNames_;
    QList<QPair<int, int>> cut_; // page and text index of every cut text
    PrintableArea printable_;

    QToolBar* toolBar_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    PageView* view_ = nullptr;
    QSpinBox* pageSpin_ = nullptr;
    QLabel* pageCountLabel_ = nullptr;
    QLabel* zoomLabel_ = nullptr;
    QLineEdit* findEdit_ = nullptr;
    QLabel* statusLabel_ = nullptr;

    QAction* zoomInAction_ = nullptr;
    QAction* zoomOutAction_ = nullptr;
    QAction* fitWidthAction_ = nullptr;
    QAction* fitPageAction_ = nullptr;
    QAction* actualSizeAction_ = nullptr;
    QAction* firstAction_ = nullptr;
    QAction* prevAction_ = nullptr;
    QAction* nextAction_ = nullptr;
    QAction* lastAction_ = nullptr;
    QAction* openAction_ = nullptr;
    QAction* saveAction_ = nullptr;
    QAction* exportAction_ = nullptr;
    QAction* printAction_ = nullptr;
    QAction* pageSetupAction_ = nullptr;
    QAction* findAction_ = nullptr;
    QAction* helpAction_ = nullptr;
    QAction* closeAction_ = nullptr;
    QAction* designAction_ = nullptr;
};

} // namespace zelk::report
