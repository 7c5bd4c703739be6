#pragma once

#include "report/layout.h"

#include <QList>
#include <QString>

// The names a receipt template can refer to, with the captions the operator
// knows them by, and the values the designer shows in the boxes.
namespace zelk::designer {

struct Field {
    QString name;    // the dataset column or variable, as written in [name]
    QString caption; // Chinese name shown to the operator
    bool perLine;    // a column of the receipt's lines (belongs in the data band)
};

// Every column of a printed receipt (header, then lines) and the variable V0.
const QList<Field>& receiptFields();

// The Chinese name of a field, or the name itself when it is not a receipt field.
QString fieldCaption(const QString& name);

// The item text as the file writes it from the text the panel shows: each [中文名] of a receipt
// field back to [name]; other brackets stay as typed.
QString sourceText(const QString& shown);

// How the field is offered in 插入字段: caption, what it is where two are easily confused,
// and its name, e.g. "发票编号（程序内部的流水号，不是票面号码）[kpid]".
QString fieldChoiceLabel(const Field& field);

// A receipt of built-in example values (three lines), for a database that
// holds no receipt yet.
report::DataSet sampleDataSet();
report::Variables sampleVariables();

// The variables of a stored receipt: V0 holds its remarks (column bz2).
report::Variables receiptVariables(const report::DataSet& data);

// An item's text as the designer shows it: each [name] as [中文名] when values
// is null, else replaced by the value from row `row` of the dataset (or the
// variables). Text that does not parse is shown as written.
QString displayText(const QString& source, const report::DataSet* values,
                    const report::Variables& variables, int row);

} // namespace zelk::designer
