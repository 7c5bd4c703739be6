#include "tools/copystorecommand.h"

#include "data/databaseerror.h"
#include "store/copystore.h"
#include "store/filestore.h"
#include "store/pgstore.h"
#include "tools/commandline.h"

#include <QFileInfo>
#include <QTextStream>

#include <unistd.h>

namespace zelk::tools {

namespace {

bool namesServer(const QString& place) {
    return place.startsWith(QLatin1String("postgresql://")) ||
           place.startsWith(QLatin1String("postgres://")) || place.contains(QLatin1Char('='));
}

} // namespace

int runCopyStoreCommand(const QStringList& words, QTextStream& out, QTextStream& err) {
    CommandArguments arguments({"from", "to"});
    QString problem;
    const bool parsed = arguments.parse(words, 0, {}, &problem);
    const QString from = arguments.value(QStringLiteral("from"));
    const QString to = arguments.value(QStringLiteral("to"));
    if (!parsed || from.isEmpty() || to.isEmpty() || namesServer(from) == namesServer(to)) {
        if (!parsed)
            err << problem << '\n';
        err << QStringLiteral("用法：zelkctl copy-store --from 文件.mdb --to 服务器地址，"
                              "或 --from 服务器地址 --to 文件.mdb（服务器地址形如 "
                              "postgresql://用户@主机:端口/数据库?sslmode=verify-full）")
            << '\n';
        return 2;
    }
    // On a terminal, the share copied so far, on one line rewritten in place.
    store::CopyProgress progress;
    if (isatty(STDERR_FILENO))
        progress = [&err](qint64 done, qint64 total) {
            err << QStringLiteral("\r已复制 %1 / %2 行").arg(done).arg(total) << Qt::flush;
        };
    try {
        store::CopySummary summary;
        if (namesServer(to)) {
            store::FileStore source(from);
            store::PgStore target(to);
            summary = store::copyStore(source, target, progress);
        } else {
            store::PgStore source(from);
            source.check();
            if (!QFileInfo::exists(to))
                store::FileStore::create(to);
            store::FileStore target(to);
            summary = store::copyStore(source, target, progress);
        }
        if (progress)
            err << '\n';
        out << QStringLiteral("已复制 %1 张票据、%2 行明细、%3 项设置。")
                   .arg(summary.receipts)
                   .arg(summary.lines)
                   .arg(summary.settings)
            << '\n';
    } catch (const data::DatabaseError& error) {
        if (progress)
            err << '\n';
        err << QString::fromUtf8(error.what()) << '\n';
        return 1;
    }
    return 0;
}

} // namespace zelk::tools
