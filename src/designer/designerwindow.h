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
    Autosave* autosave() const { return autosave_; }

    bool save();
    void preview();
    void loadValues(const QString& number);
    void fitToWindow();

    // Opens the designer on the template, modal, and returns when it closes.
    // Errors reading the template are shown in the error box.
    static void open(QWidget* parent, const QString& templatePath, ValuesLoader loader);

protected:
    void done(int result) override;
    void showEvent(QShowEvent* event) override;

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

    TemplateDocument* doc_;
    ValuesLoader loader_;
    DesignValues values_;
    Autosave* autosave_ = nullptr;
    std::function<void(const QByteArray&)> showPreview_;
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
