#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace zelk::store {

// One stored value of a receipt: a column of fpmain (the header) or of fpdetail (a line).
struct ReceiptColumn {
    const char* name;
    // What the operator reads for it: the entry form's caption (the preview's and the
    // designer's field names).
    const char* caption;
    bool line;     // fpdetail's, else fpmain's
    bool searched; // one of the columns the history's text search joins
    // The history grid's title and width in pixels; no title: not in the grid. (The grid's
    // titles are its own: "检验码" and "金额" where the form says "校验码" and "￥".)
    const char* gridTitle;
    int gridWidth;
};

// Every stored column of a receipt besides kpid, fpmxid and the change counter: the header's in
// fpmain's order, then the line's in fpdetail's order. The one list the schemas, the saver, the
// loader, the grid, the captions and the search read.
const QList<ReceiptColumn>& storedColumns();

// The fpmain columns a receipt stores besides kpid and its change counter, in table order.
const QStringList& headerColumns();
// The fpdetail columns of a line besides fpmxid and kpid, in table order.
const QStringList& lineColumns();
// The history grid's column `n` (0 to 7), in the list's order.
const ReceiptColumn& gridColumn(int n);
// The caption of a stored column; the name itself for a name that is none.
QString columnCaption(const QString& name);
// The searched columns joined without separators, NULL as empty, in the list's order
// ("coalesce(fphm,'')||coalesce(jdhm,'')||..."), so a match may run across a column end.
QString searchedColumnsJoined();

} // namespace zelk::store
