#pragma once

#include "designer/scanfit.h"
#include "report/printablearea.h"
#include "report/template.h"

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QRectF>
#include <QUndoStack>

// The template being designed: its items as written in the file, the
// selection, and every change as an undoable command. No widget involved.
namespace zelk::designer {

struct DesignValues;

enum class Section { Page, Band };

struct DesignItem {
    Section section = Section::Page;
    QJsonObject data; // the item as the template file writes it
    bool operator==(const DesignItem&) const = default;
};

// Everything an undo step restores.
struct DesignState {
    QJsonObject root; // the template without its items
    QList<DesignItem> items;
    QList<int> selection; // indexes into items, ascending
    bool operator==(const DesignState& other) const {
        return root == other.root && items == other.items &&
               sameIndexes(selection, other.selection);
    }
    // Qt 6.4 compares two empty lists of ints with memcmp on null pointers (undefined
    // behaviour), so index lists are compared element by element.
    static bool sameIndexes(const QList<int>& a, const QList<int>& b) {
        if (a.size() != b.size())
            return false;
        for (qsizetype i = 0; i < a.size(); ++i)
            if (a.at(i) != b.at(i))
                return false;
        return true;
    }
};

// Centres: the selection's centres on one vertical (Across) or horizontal (Down) line, that of
// the first selected item; SameSize: width and height of the first selected item.
enum class AlignMode {
    Left,
    Right,
    Top,
    Bottom,
    SameWidth,
    SameHeight,
    CentreAcross,
    CentreDown,
    SameSize
};

class TemplateDocument : public QObject {
    Q_OBJECT

public:
    explicit TemplateDocument(QObject* parent = nullptr);

    // Reads a template file; throws report::TemplateError (and keeps the
    // current document) when it is not a valid template.
    void load(const QString& path);
    void loadContent(const QByteArray& content, const QString& path);
    // Replaces the template with other content for the same file as one undo step (the
    // autosaved copy offered back). Throws report::TemplateError and keeps the document when
    // the content is not a valid template.
    void replaceContent(const QByteArray& content);
    QString path() const { return path_; }

    // The template file's content for the current state.
    QByteArray toJson() const;
    // The current state as the report engine reads it. Throws TemplateError.
    report::Template toTemplate() const;

    QUndoStack* undoStack() { return &undo_; }
    bool isModified() const { return !undo_.isClean(); }
    const DesignState& state() const { return state_; }

    int itemCount() const { return int(state_.items.size()); }
    const DesignItem& item(int i) const { return state_.items.at(i); }
    bool isText(int i) const;
    // The item's box on the page in mm; band items at the band's first row.
    QRectF itemRect(int i) const;
    // The topmost item whose box contains the point (mm), or -1.
    int itemAt(const QPointF& mm) const;
    QList<int> itemsIn(const QRectF& mm) const;
    // A short name for messages: the item's number and its text.
    QString itemLabel(int i) const;

    QSizeF pageSize() const;
    // The paper, orientation and zero margins, as a printer is asked for them.
    QPageLayout pageLayout() const;
    // The items whose box (in any row of the band) reaches into what the printer cannot print.
    QList<int> itemsReaching(const report::PrintableArea& area) const;
    double bandY() const;
    double bandPitch() const;
    int bandRows() const;
    bool hasBand() const;

    const QList<int>& selection() const { return state_.selection; }
    void setSelection(QList<int> items);

    // Edits: each is one undo step. Commands with the same non-zero mergeKey
    // in a row merge into one step (a mouse drag is one step).
    void moveSelection(double dxMm, double dyMm, int mergeKey = 0);
    void setItemRect(int i, const QRectF& pageRectMm, int mergeKey = 0);
    // Several boxes at once (one undo step, named 移动 when no size changes).
    void setItemRects(const QList<QPair<int, QRectF>>& rects, int mergeKey = 0);
    void align(AlignMode mode);
    // Equal gaps between three or more selected items, across (left to right) or down; the
    // outermost two stay. One undo step.
    void distribute(bool across);
    QByteArray copySelection() const;
    // Pastes copied items 2 mm below and right of the originals, selected.
    bool paste(const QByteArray& copied);
    void deleteSelection();
    // Adds a text item with its top-left at the point (mm) and selects it.
    int addText(const QPointF& atMm);
    // key is a field of the item ("text", "wrap") or of its font ("font.size");
    // an undefined value removes the field.
    QJsonValue itemValue(int i, const QString& key) const;
    void setItemValue(int i, const QString& key, const QJsonValue& value);
    // The same value for several items (one undo step).
    void setItemsValue(const QList<int>& items, const QString& key, const QJsonValue& value);
    // Sets the item's "one character per cell" settings (an object as the file writes it) or
    // removes them (undefined); the box's width follows the row of cells, keeping its right edge
    // when the cells were filled from the right before and still are. One undo step.
    void setItemCells(int i, const QJsonValue& cells);
    // key is a dotted path in the template ("paper.width", "band.pitch",
    // "background.image"); an undefined value removes the field.
    QJsonValue templateValue(const QString& key) const;
    void setTemplateValue(const QString& key, const QJsonValue& value);
    // Sets the sheet's width and height (one undo step).
    void setPaperSize(const QSizeF& mm);
    // Common continuous forms (mm): 9.5 inches wide, a third, a half and a whole of 11 inches.
    static QList<QSizeF> continuousPaperPresets() {
        return {QSizeF(241, 93.1), QSizeF(241, 140), QSizeF(241, 279.4)};
    }
    // Replaces the background with an image file (copied beside the template
    // when it lies elsewhere) of the given physical size in mm.
    void setBackground(const QString& imageFile, const QSizeF& sizeMm);

    // Where the background lies (its size defaults to the page's), and placing it anew: one
    // undo step, lengths rounded to 0.01 mm, the rotation to 0.001 degree (0 is not written).
    Placement backgroundPlacement() const;
    void setBackgroundPlacement(const Placement& placement);

    // The first problem that stops the template from being used, with the
    // item it concerns (-1 for the template itself); an empty message when
    // there is none.
    struct Problem {
        int item = -1;
        QString message;
    };
    // With values, a boxed text item that gets more characters from them than it has cells is
    // a problem too (it would not print).
    Problem validate(const DesignValues* values = nullptr) const;

    // Checks the template and writes it: to a temporary file that then
    // replaces the old one, which is kept as <name>.bak. A problem selects its
    // item and is returned as a message; nothing is written then.
    bool save(QString* error, const DesignValues* values = nullptr);

    // Saves under another name (checked as save does); the background image goes along when
    // the new folder lacks it. The document then stands for the new file.
    bool saveAs(const QString& path, QString* error, const DesignValues* values = nullptr);

    // Replaces the state (the undo commands call this).
    void restore(const DesignState& state);

signals:
    void changed();
    void selectionChanged();

private:
    void apply(const QString& text, DesignState next, int mergeKey = 0);

    QString path_;
    DesignState state_;
    QUndoStack undo_;
};

// The cells of a text item as the file writes them; count 0 when it has none.
report::Cells itemCells(const QJsonObject& item);

// Rounds a length to the 0.01 mm the file keeps.
double roundMm(double mm);
// The nearest multiple of grid (mm); value itself when grid <= 0.
double snap(double value, double grid);

} // namespace zelk::designer
