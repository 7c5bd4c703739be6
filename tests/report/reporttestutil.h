#pragma once

// Shared helpers for the report tests: temporary template files and a sample
// receipt in the shape the receipt page feeds to fp3.frf.

#include "report/layout.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace reporttest {

inline QString sourceDir() {
    return QStringLiteral(ZELK_TEST_SOURCE_DIR);
}
inline QString binaryDir() {
    return QStringLiteral(ZELK_TEST_BINARY_DIR);
}

inline QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& content) {
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write test file");
    f.write(content);
    return path;
}

inline const QStringList& fp3Columns() {
    static const QStringList columns =
        QStringList{QStringLiteral("kpid"),    QStringLiteral("fphm"),   QStringLiteral("kpdate"),
                    QStringLiteral("kpdate2"), QStringLiteral("hyfl"),   QStringLiteral("jdhm"),
                    QStringLiteral("qssj"),    QStringLiteral("jcsj"),   QStringLiteral("jym"),
                    QStringLiteral("fkfmc"),   QStringLiteral("jexx"),   QStringLiteral("jedx"),
                    QStringLiteral("skfmc"),   QStringLiteral("kpr"),    QStringLiteral("bz1"),
                    QStringLiteral("bz2"),     QStringLiteral("fpmxid"), QStringLiteral("xm"),
                    QStringLiteral("kjll"),    QStringLiteral("dw"),     QStringLiteral("sl"),
                    QStringLiteral("dj"),      QStringLiteral("je")};
    return columns;
}

// A receipt with the given number of lines; header values repeat on each row.
inline zelk::report::DataSet
fp3Sample(int lines, const QString& payer = QStringLiteral("杭州西湖食品有限公司")) {
    zelk::report::DataSet data;
    data.columns = fp3Columns();
    for (int i = 0; i < lines; ++i) {
        data.rows.append(QStringList{QStringLiteral("7"),
                                     QStringLiteral("00012345"),
                                     QStringLiteral("20261206"),
                                     QStringLiteral("2026-12-06"),
                                     QStringLiteral("餐饮业"),
                                     QStringLiteral("JD0001"),
                                     QStringLiteral("2026-11-01"),
                                     QStringLiteral("2026-11-30"),
                                     QStringLiteral("8841"),
                                     payer,
                                     QStringLiteral("123.00"),
                                     QStringLiteral("壹佰贰拾叁元整"),
                                     QStringLiteral("西湖茶楼"),
                                     QStringLiteral("张三"),
                                     QStringLiteral("手写无效"),
                                     QString(),
                                     QString::number(100 + i),
                                     QStringLiteral("餐费%1").arg(i + 1),
                                     QStringLiteral("午餐"),
                                     QStringLiteral("份"),
                                     QString::number(i + 1),
                                     QStringLiteral("10.00"),
                                     QStringLiteral("%1.00").arg(10 * (i + 1))});
    }
    return data;
}

inline zelk::report::Variables fp3Variables() {
    return {{QStringLiteral("V0"), QStringLiteral("备注 \"含引号\"")}};
}

// The first placed text on a page equal to text, or nullptr.
inline const zelk::report::PlacedText* findText(const zelk::report::Page& page,
                                                const QString& text) {
    for (const auto& t : page.texts) {
        if (t.text == text)
            return &t;
    }
    return nullptr;
}

} // namespace reporttest
