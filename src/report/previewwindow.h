#pragma once

#include "preparedreport.h"

#include <QDialog>
#include <QPrinter>

#include <functional>
#include <memory>

class QAction;
class QLabel;
class QLineEdit;
class QScrollArea;
class QSpinBox;
class QToolBar;

namespace report {

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

    explicit PreviewWindow(const PreparedReport& report, QWidget* parent = nullptr);
    ~PreviewWindow() override;

    // Shows the report in a modal preview and returns when it is closed.
    // onHelp, when set, is called by the help button (it opens the help file).
    static int showReport(const PreparedReport& report, QWidget* parent,
                          std::function<void()> onHelp = {});

    const PreparedReport& report() const { return m_report; }
    void setReport(const PreparedReport& report);

    int pageCount() const { return int(m_report.pages.size()); }
    int currentPage() const { return m_page; } // 0-based
    void setCurrentPage(int page);

    // 1.0 shows the paper at its real size on a screen of the logical DPI.
    double zoom() const { return m_zoom; }
    void setZoom(double zoom);
    static constexpr double kMinZoom = 0.1;
    static constexpr double kMaxZoom = 5.0;

    // Looks for the next text containing needle (case-insensitive) after the
    // current match, wrapping round to the first page; shows its page,
    // highlights it and scrolls it into view. Returns false when no text
    // matches.
    bool findNext(const QString& needle);
    // The highlighted match: page and index into Page::texts, or -1, -1.
    int matchPage() const { return m_matchPage; }
    int matchIndex() const { return m_matchIndex; }

    // The commands behind the toolbar, without dialogs. Errors go to the
    // message handler; the return value says whether it worked.
    bool openPreparedFile(const QString& path);
    bool savePreparedFile(const QString& path);
    bool exportPdfFile(const QString& path);
    bool printTo(QPrinter& printer);

    void setFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }
    void setMessageHandler(MessageHandler handler) { m_showMessage = std::move(handler); }
    void setHelpHandler(std::function<void()> handler) { m_onHelp = std::move(handler); }

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
    void scrollToMatch();
    void message(const QString& text);
    QString chooseFile(FileAction action, const QString& suggestedName);
    QPrinter& printer();

    void onOpen();
    void onSave();
    void onExportPdf();
    void onPrint();
    void onPageSetup();
    void onFind();
    void onHelp();

    PreparedReport m_report;
    int m_page = 0;
    double m_zoom = 1.0;
    int m_matchPage = -1;
    int m_matchIndex = -1;
    bool m_fittedOnce = false;
    std::unique_ptr<QPrinter> m_printer; // made on first print or page set-up

    FileChooser m_chooseFile;
    MessageHandler m_showMessage;
    std::function<void()> m_onHelp;

    QToolBar* m_toolBar = nullptr;
    QScrollArea* m_scroll = nullptr;
    PageView* m_view = nullptr;
    QSpinBox* m_pageSpin = nullptr;
    QLabel* m_pageCountLabel = nullptr;
    QLabel* m_zoomLabel = nullptr;
    QLineEdit* m_findEdit = nullptr;

    QAction* m_zoomInAction = nullptr;
    QAction* m_zoomOutAction = nullptr;
    QAction* m_fitWidthAction = nullptr;
    QAction* m_fitPageAction = nullptr;
    QAction* m_actualSizeAction = nullptr;
    QAction* m_firstAction = nullptr;
    QAction* m_prevAction = nullptr;
    QAction* m_nextAction = nullptr;
    QAction* m_lastAction = nullptr;
    QAction* m_openAction = nullptr;
    QAction* m_saveAction = nullptr;
    QAction* m_exportAction = nullptr;
    QAction* m_printAction = nullptr;
    QAction* m_pageSetupAction = nullptr;
    QAction* m_findAction = nullptr;
    QAction* m_helpAction = nullptr;
    QAction* m_closeAction = nullptr;
};

} // namespace report
