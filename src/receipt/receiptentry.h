#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <array>
#include <optional>

namespace zelk::receipt {

// One line row of the entry form, stored as one of the receipt's lines.
struct EntryLine {
    QString item;      // 项目, xm
    QString content;   // 开具内容, kjll
    QString unit;      // 单位, dw
    QString quantity;  // 数量, sl
    QString unitPrice; // 单价, dj
    QString amount;    // 金额, je

    bool operator==(const EntryLine&) const = default;
};

inline constexpr int lineCount = 5;

// A stored issue date the form cannot show (kpdate empty, not eight digits, or no real date),
// kept as stored so that a save writes it back unchanged.
struct UnknownDate {
    QString kpdate;
    QString kpdate2;

    bool operator==(const UnknownDate&) const = default;
};

// The receipt the entry page holds. Every value is text exactly as typed, except the issue
// date; the two totals are worked out from the line amounts.
struct ReceiptEntry {
    QString invoiceNumber; // 发票号码, fphm
    QDate issueDate;       // 开票日期, kpdate (yyyymmdd) and kpdate2 (yyyy-mm-dd)
    // Set, with issueDate invalid, while the stored date is one the form cannot show.
    std::optional<UnknownDate> unknownDate;
    QString category;      // 行业分类, hyfl
    QString machineNumber; // 机打号码, jdhm
    QString periodStart;   // 起止时间, qssj (masked text, blanks kept)
    QString periodEnd;     // 至, jcsj
    QString checkCode;     // 校验码, jym
    QString payerName;     // 付款方名称, fkfmc
    std::array<EntryLine, lineCount> lines;
    // Stored lines after the fifth (older files hold them): not shown in the rows, written
    // back unchanged and counted in the totals.
    QList<EntryLine> extraLines;
    QString remarks;       // 备注, bz2
    QString totalFigures;  // ￥, jexx
    QString totalCapitals; // 合计金额(大写), jedx
    QString payeeName;     // 收款方名称(盖章), skfmc
    QString issuer;        // 开票人, kpr
    QString noticeLine;    // bz1
    QString receiptId;     // kpid of the stored receipt being edited; empty for a new one
    // The stored receipt's change counter when it was loaded or last saved here (negative:
    // unknown, the save does not check). It tells where the form came from, not what it holds,
    // so comparisons leave it out.
    qint64 loadedChanges = -1;

    bool operator==(const ReceiptEntry& other) const;
};

// The period fields' value when nothing has been typed into them.
QString blankPeriod();

// The issue date in its two stored forms.
QString searchableDate(const QDate& date); // "yyyymmdd"
QString displayedDate(const QDate& date);  // "yyyy-mm-dd"

} // namespace zelk::receipt
