#pragma once

#include "designer/designvalues.h"
#include "report/printablearea.h"

#include <QByteArray>
#include <QDialog>
#include <QPointF>

#include <functional>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QScrollArea;

namespace zelk::designer {

class DesignCanvas;
class Autosave;
class PropertyPanel;
class Ruler;
class TemplateDocument;

// The window "票据模板设计 - <file>": toolbar, rulers, canvas and property
// panel around one template document.
class DesignerWindow : public QDialog {
    Q_OBJECT

public:
    // Gives the values of the receipt with the number given (the latest one
    // for an empty number). Throws what the database throws.
    using ValuesLoader = std::function<DesignValues(const QString& number)>;

    // Throws report::TemplateError when the template cannot be read.
    DesignerWindow(const QString& templatePath, ValuesLoader loader, QWidget* parent = nullptr);
    ~DesignerWindow() override;

    TemplateDocument* document() const { return doc_; }
    DesignCanvas* canvas() const { return canvas_; }
    const DesignValues& values() const { return values_; }

    // Replaces the modal preview of the unsaved template (tests).
    void setPreviewShower(std::function<void(const QByteArray& templateJson)> shower);

    // When a designer that did not close left an autosaved copy of this template, asks whether
    // to restore it: yes puts it in as one undoable change (still unsaved), no removes it.
    // Returns whether it was restored.
    bool offerRecovery();
    // Replaces showing the two-point fit's question (tests): fills it in and returns the
    // dialog's result.
    void setFitAnswer(std::function<int(QDialog& dialog)> answer) {
        fitAnswer_ = std::move(answer);
    }
    // Replaces opening help.chm by 帮助 (tests).
    void setHelpHandler(std::function<void()> handler) { help_ = std::move(handler); }
    // The status line's text.
    QString statusText() const;
    Autosave* autosave() const { return autosave_; }

    bool save();
    // "另存为…": asks for a file and saves the template there.
    bool saveAs();
    // A warning when the template's file or folder cannot be written, else empty.
    QString readOnlyWarning() const;
    void preview();
    void loadValues(const QString& number);
    void fitToWindow();

    // Opens the designer on the template, modal, and returns when it closes. A template that
    // cannot be read is kept aside (<name>.broken-<time>) and the designer opens on the .bak or
    // the shipped template when the clerk chooses one; other errors go to the error box.
    static void open(QWidget* parent, const QString& templatePath, ValuesLoader loader);

protected:
    void done(int result) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createActions();
    void createLayout();
    void zoomBy(int steps);
    void updateRulers();
    void showMessage(const QString& text, bool error);
    // Reads the chosen printer's unprintable margins for the paper (when either changed) and
    // names the items reaching into them in the status line.
    void updatePrintableArea();
    // Two-point fit of the background: the clerk clicks two points, then types their distance.
    void fitBackground();
    void finishFit(const QPointF& firstMm, const QPointF& secondMm);
    // Ctrl+wheel: zooms keeping the point under the pointer (canvas position) where it is.
    void zoomAt(int steps, const QPointF& at);

    TemplateDocument* doc_;
    ValuesLoader loader_;
    DesignValues values_;
    Autosave* autosave_ = nullptr;
    std::function<void(const QByteArray&)> showPreview_;
    std::function<int(QDialog&)> fitAnswer_;
    std::function<void()> help_;
    QLabel* cursorLabel_ = nullptr;
    bool fitted_ = false;

    DesignCanvas* canvas_ = nullptr;
    PropertyPanel* panel_ = nullptr;
    Ruler* hRuler_ = nullptr;
    Ruler* vRuler_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* zoomLabel_ = nullptr;
    QLineEdit* receiptNumber_ = nullptr;
    QComboBox* printerBox_ = nullptr;
    QString areaKey_; // the printer and paper printable_ was read for
    report::PrintableArea printable_;
    QAction* showValues_ = nullptr;
    QList<QAction*> actions_;
};

} // namespace zelk::designer
