#pragma once

#include "receipt/receiptentry.h"

#include <QLineEdit>
#include <QPointer>
#include <QWidget>
#include <array>

class QComboBox;
class QDateEdit;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QVBoxLayout;

namespace zelk::receipt {

// The receipt entry page ("票据内容"): the header fields, five line rows, the remarks, the two
// totals that follow the amount cells, the footer fields and the save and preview buttons.
// The page reads and writes no table; the window that holds it wires the buttons.
class ReceiptEntryPage : public QWidget {
    Q_OBJECT
public:
    explicit ReceiptEntryPage(QWidget* parent = nullptr);

    // The receipt as the page holds it, every value as shown.
    ReceiptEntry entry() const;

    // Shows a receipt read back from the database: the header values in the order the reload
    // sets them (totals from the stored values first), then the five line rows emptied and
    // filled again, so that the totals are worked out from the lines just shown. Stored lines
    // after the fifth are kept unchanged, counted in the totals and named in a note.
    void showReceipt(const ReceiptEntry& receipt);

    // "新增记录": empties the current receipt id, the thirty line cells and the stored lines
    // kept beyond them; the header values, the issue date and the remarks stay.
    void newRecord();

    // The four defaults that start-up copies from the settings.
    void setPayeeName(const QString& text);
    void setCategory(const QString& text);
    void setIssuer(const QString& text);
    void setNoticeLine(const QString& text);
    void setIssueDate(const QDate& date);

    // Whether the form differs from what it held when last marked unchanged (shown, saved,
    // started afresh).
    bool hasUnsavedChanges() const { return entry() != unchanged_; }
    void markUnchanged() { unchanged_ = entry(); }

    QString receiptId() const;
    // An empty id also forgets the change counter.
    void setReceiptId(const QString& id);
    // The stored receipt's change counter as loaded or last saved here (see ReceiptEntry).
    void setLoadedChanges(qint64 changes) { loadedChanges_ = changes; }
    // The hidden field that holds the current receipt id. The main window places it in its top
    // bar; it is never shown.
    QLineEdit* receiptIdField() const { return receiptId_; }

    QPushButton* saveButton() const { return save_; }
    QPushButton* previewButton() const { return preview_; }
    QLineEdit* payerField() const { return payerName_; }
    QLineEdit* amountCell(int row) const; // row 0 to 4

    // The 44 controls in the order the Enter key and Tab walk them.
    QList<QWidget*> tabOrder() const;

private:
    struct LineRow {
        QComboBox* item = nullptr;
        QComboBox* content = nullptr;
        QComboBox* unit = nullptr;
        QLineEdit* quantity = nullptr;
        QComboBox* unitPrice = nullptr;
        QLineEdit* amount = nullptr;
    };

    void createHeader(QWidget* form, QVBoxLayout* layout);
    void createLineRows(QWidget* form, QVBoxLayout* layout);
    void createFooter(QWidget* form, QVBoxLayout* layout);
    void applyTabOrder();

    // Edit7Change and its four siblings: one handling shared by the five amount cells.
    void amountChanged(QLineEdit* cell);
    void updateTotals();
    void emptyLineCells();
    void setExtraLines(const QList<EntryLine>& extraLines);
    // Marks the date box "未知" while the receipt's stored date is one it cannot show; an empty
    // value shows the box's own date again.
    void setUnknownDate(const std::optional<UnknownDate>& date);
    std::array<EntryLine, lineCount> lines() const;

    QLabel* heading_ = nullptr;
    QLineEdit* invoiceNumber_ = nullptr;
    QDateEdit* issueDate_ = nullptr;
    QComboBox* category_ = nullptr;
    QLineEdit* machineNumber_ = nullptr;
    QLineEdit* periodStart_ = nullptr;
    QLineEdit* periodEnd_ = nullptr;
    QLineEdit* checkCode_ = nullptr;
    QLineEdit* payerName_ = nullptr;
    std::array<LineRow, lineCount> rows_{};
    QPlainTextEdit* remarks_ = nullptr;
    QLineEdit* totalCapitals_ = nullptr;
    QLineEdit* totalFigures_ = nullptr;
    QLineEdit* payeeName_ = nullptr;
    QLineEdit* issuer_ = nullptr;
    QLineEdit* noticeLine_ = nullptr;
    // Stored lines after the fifth of the receipt shown, and the note that tells of them.
    QList<EntryLine> extraLines_;
    std::optional<UnknownDate> unknownDate_;
    QLabel* extraLinesNote_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* preview_ = nullptr;
    // Created by the page, but usually living in another widget's layout.
    QPointer<QLineEdit> receiptId_;
    qint64 loadedChanges_ = -1;
    ReceiptEntry unchanged_;
};

} // namespace zelk::receipt
