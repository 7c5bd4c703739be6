#pragma once

// Shared helpers for the report tests: temporary template files and a sample
// receipt in the shape the receipt page feeds to fp3.frf.

#include "report/layout.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace reporttest {

using namespace Qt::StringLiterals;

inline QString sourceDir() {
    return qEnvironmentVariable("ZELK_SOURCE_DIR");
}
inline QString binaryDir() {
    return qEnvironmentVariable("ZELK_BINARY_DIR");
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
        QStringList{u"kpid"_s,  u"fphm"_s, u"kpdate"_s, u"kpdate2"_s, u"hyfl"_s,   u"jdhm"_s,
                    u"qssj"_s,  u"jcsj"_s, u"jym"_s,    u"fkfmc"_s,   u"jexx"_s,   u"jedx"_s,
                    u"skfmc"_s, u"kpr"_s,  u"bz1"_s,    u"bz2"_s,     u"fpmxid"_s, u"xm"_s,
                    u"kjll"_s,  u"dw"_s,   u"sl"_s,     u"dj"_s,      u"je"_s};
    return columns;
}

// A receipt with the given number of lines; header values repeat on each row.
inline report::DataSet fp3Sample(int lines, const QString& payer = u"杭州西湖食品有限公司"_s) {
    report::DataSet data;
    data.columns = fp3Columns();
    for (int i = 0; i < lines; ++i) {
        data.rows.append(QStringList{u"7"_s,
                                     u"00012345"_s,
                                     u"20261206"_s,
                                     u"2026-12-06"_s,
                                     u"餐饮业"_s,
                                     u"JD0001"_s,
                                     u"2026-11-01"_s,
                                     u"2026-11-30"_s,
                                     u"8841"_s,
                                     payer,
                                     u"123.00"_s,
                                     u"壹佰贰拾叁元整"_s,
                                     u"西湖茶楼"_s,
                                     u"张三"_s,
                                     u"手写无效"_s,
                                     QString(),
                                     QString::number(100 + i),
                                     u"餐费%1"_s.arg(i + 1),
                                     u"午餐"_s,
                                     u"份"_s,
                                     QString::number(i + 1),
                                     u"10.00"_s,
                                     u"%1.00"_s.arg(10 * (i + 1))});
    }
    return data;
}

inline report::Variables fp3Variables() {
    return {{u"V0"_s, u"备注 \"含引号\""_s}};
}

// The first placed text on a page equal to text, or nullptr.
inline const report::PlacedText* findText(const report::Page& page, const QString& text) {
    for (const auto& t : page.texts) {
        if (t.text == text)
            return &t;
    }
    return nullptr;
}

} // namespace reporttest
