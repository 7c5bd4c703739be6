// zelkctl: the program's command-line companion.
//   zelkctl init-db PATH      creates an empty receipt database (never overwrites)
//   zelkctl capitals AMOUNT   prints the amount in Chinese capital numerals

#include "amount/capitals.h"
#include "data/databaseerror.h"
#include "data/schema.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

namespace {

QTextStream& out() {
    static QTextStream stream(stdout);
    return stream;
}

QTextStream& err() {
    static QTextStream stream(stderr);
    return stream;
}

int usage() {
    err() << "用法：\n"
             "  zelkctl init-db PATH       创建空的收据数据库文件（不会覆盖已有文件）\n"
             "  zelkctl capitals AMOUNT    输出金额的中文大写\n";
    err().flush();
    return 2;
}

int initDb(const QString& path) {
    try {
        zelk::data::createDatabase(path);
    } catch (const zelk::data::DatabaseError& error) {
        err() << error.message() << '\n';
        return 1;
    }
    out() << "已创建数据库：" << path << '\n';
    return 0;
}

int capitals(const QString& amount) {
    const zelk::amount::Capitals result = zelk::amount::toCapitals(amount);
    if (result.problem != zelk::amount::CapitalsProblem::None) {
        err() << zelk::amount::problemMessage(result.problem) << '\n';
        return 1;
    }
    out() << result.text << '\n';
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    int status = 2;
    if (args.size() == 3 && args.at(1) == QLatin1String("init-db"))
        status = initDb(args.at(2));
    else if (args.size() == 3 && args.at(1) == QLatin1String("capitals"))
        status = capitals(args.at(2));
    else
        status = usage();
    out().flush();
    err().flush();
    return status;
}
