#include "designer/fieldcatalog.h"

#include "report/template.h"
#include "store/receiptcolumns.h"

#include <QRegularExpression>

namespace zelk::designer {

const QList<Field>& receiptFields() {
    static const QList<Field> fields = [] {
        QList<Field> out;
        const auto add = [&out](bool line) {
            for (const store::ReceiptColumn& column : store::storedColumns()) {
                if (column.line != line)
                    continue;
                // Both remarks are fields; the stored one is told apart by its caption.
                const QString name = QString::fromLatin1(column.name);
                out.append({name,
                            name == QLatin1String("bz2") ? QStringLiteral("备注(存储)")
                                                         : QString::fromUtf8(column.caption),
                            line});
            }
        };
        add(false);
        out.append({QStringLiteral("kpid"), QStringLiteral("发票编号"), false});
        out.append({QStringLiteral("V0"), QStringLiteral("备注"), false});
        out.append({QStringLiteral("fpmxid"), QStringLiteral("明细编号"), true});
        add(true);
        return out;
    }();
    return fields;
}

QString fieldCaption(const QString& name) {
    for (const Field& f : receiptFields())
        if (f.name == name)
            return f.caption;
    return name;
}

QString sourceText(const QString& shown) {
    static const QRegularExpression bracket(QStringLiteral("\\[([^\\[\\]]+)\\]"));
    QString out;
    qsizetype from = 0;
    for (auto it = bracket.globalMatch(shown); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += shown.mid(from, m.capturedStart() - from);
        QString name = m.captured(1);
        for (const Field& f : receiptFields())
            if (f.caption == name)
                name = f.name;
        out += u'[' + name + u']';
        from = m.capturedEnd();
    }
    return out + shown.mid(from);
}

QString fieldChoiceLabel(const Field& field) {
    QString note;
    if (field.name == QLatin1String("kpid"))
        note = QStringLiteral("（程序内部的流水号，不是票面号码）");
    else if (field.name == QLatin1String("fphm"))
        note = QStringLiteral("（印在票面上的号码）");
    else if (field.name == QLatin1String("bz2"))
        note = QStringLiteral("（票据存储的备注）");
    else if (field.name == QLatin1String("V0"))
        note = QStringLiteral("（打印时填写的备注）");
    else if (field.perLine)
        note = QStringLiteral("（明细）");
    return QStringLiteral("%1%2 [%3]").arg(field.caption, note, field.name);
}

report::DataSet sampleDataSet() {
    report::DataSet data;
    data.columns = QStringList{QStringLiteral("kpid")} + store::headerColumns() +
                   QStringList{QStringLiteral("fpmxid")} + store::lineColumns();
    const QStringList header{QStringLiteral("1"),
                             QStringLiteral("00012345"),
                             QStringLiteral("20260906"),
                             QStringLiteral("2026-09-06"),
                             QStringLiteral("服务业"),
                             QStringLiteral("123456789012"),
                             QStringLiteral("2026-09-01"),
                             QStringLiteral("2026-09-30"),
                             QStringLiteral("8F3A-21C7"),
                             QStringLiteral("某某市某某区某某商贸有限公司"),
                             QStringLiteral("1234.50"),
                             QStringLiteral("壹仟贰佰叁拾肆元伍角整"),
                             QStringLiteral("本单位名称"),
                             QStringLiteral("管理员"),
                             QStringLiteral("注：本收据为收款凭证，请妥善保管；涂改、复印无效。"),
                             QStringLiteral("九月份服务费")};
    const QList<QStringList> lines{
        {QStringLiteral("1"), QStringLiteral("服务费"), QStringLiteral("九月份设备维护"),
         QStringLiteral("次"), QStringLiteral("2"), QStringLiteral("300.00"),
         QStringLiteral("600.00")},
        {QStringLiteral("2"), QStringLiteral("材料费"), QStringLiteral("配件及耗材"),
         QStringLiteral("套"), QStringLiteral("1"), QStringLiteral("434.50"),
         QStringLiteral("434.50")},
        {QStringLiteral("3"), QStringLiteral("上门费"), QStringLiteral("市区上门"),
         QStringLiteral("次"), QStringLiteral("2"), QStringLiteral("100.00"),
         QStringLiteral("200.00")},
    };
    for (const QStringList& line : lines)
        data.rows.append(header + line);
    return data;
}

report::Variables sampleVariables() {
    return receiptVariables(sampleDataSet());
}

report::Variables receiptVariables(const report::DataSet& data) {
    const qsizetype column = data.columns.indexOf(QStringLiteral("bz2"));
    QString remarks;
    if (column >= 0 && !data.rows.isEmpty())
        remarks = data.rows.first().value(column);
    return {{QStringLiteral("V0"), remarks}};
}

QString displayText(const QString& source, const report::DataSet* values,
                    const report::Variables& variables, int row) {
    QList<report::TextPart> parts;
    QString error;
    if (!report::parseItemText(source, &parts, &error))
        return source;
    QString shown;
    for (const report::TextPart& part : std::as_const(parts)) {
        if (!part.isReference) {
            shown += part.text;
        } else if (!values) {
            shown += u'[' + fieldCaption(part.text) + u']';
        } else {
            const qsizetype column = values->columns.indexOf(part.text);
            if (column >= 0)
                shown += row < values->rows.size() ? values->rows.at(row).value(column) : QString();
            else
                shown += variables.value(part.text);
        }
    }
    return shown;
}

} // namespace zelk::designer
