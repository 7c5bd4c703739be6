#include "books/summaryreport.h"

namespace zelk::books {

namespace {

constexpr double pageWidth = 210.0;
constexpr double pageHeight = 297.0;
constexpr double left = 20.0;
constexpr double rowHeight = 7.0;
constexpr double firstRow = 35.0; // the top of the column captions
constexpr int rowsPerPage = 34;

// The group, count and total columns: left edge and width, mm.
constexpr double columns[3][2] = {{left, 100.0}, {left + 100.0, 30.0}, {left + 130.0, 40.0}};

report::PlacedText placed(const QString& text, const QRectF& rect, double size,
                          report::HAlign align = report::HAlign::Left, bool bold = false) {
    report::PlacedText t;
    t.text = text;
    t.rect = rect;
    t.family = QStringLiteral("SimSun");
    t.templateSize = t.fontSize = size;
    t.bold = bold;
    t.halign = align;
    t.valign = report::VAlign::Center;
    return t;
}

void addRow(report::Page& page, double top, const QStringList& cells, bool bold) {
    for (int c = 0; c < 3; ++c)
        page.texts.append(placed(cells[c], QRectF(columns[c][0], top, columns[c][1], rowHeight),
                                 10.0, c == 0 ? report::HAlign::Left : report::HAlign::Right,
                                 bold));
    page.lines.append({QLineF(left, top + rowHeight, left + 170.0, top + rowHeight), 0.1});
}

} // namespace

QString summaryKeyCaption(store::SummaryKey key) {
    switch (key) {
    case store::SummaryKey::Day:
        return QStringLiteral("日期");
    case store::SummaryKey::Month:
        return QStringLiteral("月份");
    case store::SummaryKey::Category:
        return QStringLiteral("行业分类");
    case store::SummaryKey::Payer:
        return QStringLiteral("付款方");
    case store::SummaryKey::Issuer:
        return QStringLiteral("开票人");
    }
    return {};
}

report::PreparedReport summaryReport(const QString& title, store::SummaryKey key,
                                     const QList<store::SummaryRow>& rows) {
    report::PreparedReport prepared;
    prepared.paperSize = QSizeF(pageWidth, pageHeight);
    const qsizetype pages = std::max<qsizetype>(1, (rows.size() + rowsPerPage - 1) / rowsPerPage);
    for (qsizetype p = 0; p < pages; ++p) {
        report::Page page;
        page.texts.append(
            placed(title, QRectF(left, 15.0, 170.0, 12.0), 16.0, report::HAlign::Center, true));
        addRow(page, firstRow,
               {summaryKeyCaption(key), QStringLiteral("张数"), QStringLiteral("金额合计")}, true);
        for (qsizetype i = p * rowsPerPage; i < std::min(rows.size(), (p + 1) * rowsPerPage); ++i) {
            const store::SummaryRow& row = rows[i];
            const double top = firstRow + rowHeight * double(i - p * rowsPerPage + 1);
            addRow(page, top,
                   {row.key.isEmpty() ? QStringLiteral("（空）") : row.key,
                    QString::number(row.count), row.total},
                   false);
        }
        page.texts.append(placed(QStringLiteral("第 %1 页，共 %2 页").arg(p + 1).arg(pages),
                                 QRectF(left, pageHeight - 20.0, 170.0, 8.0), 9.0,
                                 report::HAlign::Center));
        prepared.pages.append(page);
    }
    return prepared;
}

} // namespace zelk::books
