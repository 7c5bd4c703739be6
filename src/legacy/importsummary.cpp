#include "legacy/importsummary.h"

#include <QStringList>

namespace zelk::legacy {

namespace {

QString kindWord(ImportNote::Kind kind) {
    switch (kind) {
    case ImportNote::Kind::Skipped:
        return QStringLiteral("未导入");
    case ImportNote::Kind::Changed:
        return QStringLiteral("有改动");
    case ImportNote::Kind::Kept:
        return QStringLiteral("请核对");
    }
    return {};
}

} // namespace

QString ImportSummary::text() const {
    QStringList out;
    out << QStringLiteral("导入完成：收据 %1 张，明细 %2 行，基础信息 %3 项。")
               .arg(receipts)
               .arg(lines)
               .arg(settings);
    if (renumbered)
        out << QStringLiteral("本程序中原已有收据，导入的收据按原来的顺序排在其后，重新编号。");
    if (firstDate.isValid())
        out << QStringLiteral("导入的收据开票日期从 %1 到 %2。")
                   .arg(firstDate.toString(QStringLiteral("yyyy-MM-dd")),
                        lastDate.toString(QStringLiteral("yyyy-MM-dd")));
    if (notes.isEmpty()) {
        out << QStringLiteral("所有记录均按原样导入。");
    } else {
        out << QStringLiteral("以下记录未导入、有改动或需要核对（共 %1 条）：").arg(notes.size());
        for (const ImportNote& note : notes)
            out << QStringLiteral("  %1  %2：%3").arg(kindWord(note.kind), note.row, note.why);
    }
    return out.join(QLatin1Char('\n'));
}

} // namespace zelk::legacy
