#include "legacy/importsummary.h"

#include <QStringList>

#include <algorithm>

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
    if (renumbered) {
        QList<qint64> old = receiptIds.keys();
        std::sort(old.begin(), old.end());
        out << QStringLiteral("数据库中原已有收据，导入的收据按原来的顺序排在其后，编号重新分配"
                              "（每张收据的明细随其后）：");
        for (qint64 id : old)
            out << QStringLiteral("  原收据 %1 → 现收据 %2").arg(id).arg(receiptIds.value(id));
    } else if (receipts > 0) {
        out << QStringLiteral("收据和明细保留旧程序中的编号。");
    }
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
