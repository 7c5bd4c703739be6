#pragma once

#include <QWidget>

#include <functional>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QFormLayout;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace zelk::designer {

class TemplateDocument;

// The properties of the selected item and of the template. Shows the
// document's values and turns every edit into one document command.
class PropertyPanel : public QWidget {
    Q_OBJECT

public:
    explicit PropertyPanel(TemplateDocument* doc, QWidget* parent = nullptr);

    // Asks for a background image file (tests replace it); empty: cancelled.
    // Loads a scanned form as background at its physical size: from the
    // image's resolution when it has one, else the paper's size (which the
    // operator then corrects in mm). Returns false, with the reason in error, when it is no
    // image or too large to load.
    bool loadBackground(const QString& file, QString* error = nullptr);

private:
    void refresh();
    QDoubleSpinBox* lengthBox(const QString& name, double min, double max);
    void itemNumber(QDoubleSpinBox* box, const QString& key);
    void itemCheck(QCheckBox* box, const QString& key);
    void templateNumber(QDoubleSpinBox* box, const QString& key);
    // The one selected item, or -1 (none or several).
    int current() const;
    // The selected text items: what font and alignment edits apply to.
    QList<int> texts() const;
    // "每格一个字符": the cells from the controls into the document.
    void createCellControls(QFormLayout* form, QWidget* parent);
    void storeCells();

    TemplateDocument* doc_;
    bool refreshing_ = false;

    QGroupBox* itemBox_ = nullptr;
    QDoubleSpinBox *x_, *y_, *width_, *height_;
    QLineEdit* text_;
    QComboBox* field_;
    QLineEdit* family_;
    QDoubleSpinBox* size_;
    QCheckBox* bold_;
    QComboBox *align_, *valign_;
    QCheckBox *wrap_, *shrink_;
    QDoubleSpinBox* minSize_;
    QCheckBox* cells_;
    QDoubleSpinBox* cellPitch_;
    QSpinBox* cellCount_;
    QComboBox* cellFill_;
    QLineEdit* cellSymbol_;

    QDoubleSpinBox *paperWidth_, *paperHeight_;
    QComboBox* orientation_;
    QDoubleSpinBox *bandY_, *bandPitch_;
    QSpinBox* bandRows_;
    QPushButton* background_;
    QDoubleSpinBox *bgX_, *bgY_, *bgWidth_, *bgHeight_, *bgRotation_;
};

} // namespace zelk::designer
