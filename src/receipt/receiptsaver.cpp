#include "receipt/receiptsaver.h"

#include "data/databaseerror.h"
#include "data/searchindex.h"
#include "data/tdmtd.h"
#include "data/transaction.h"
#include "text/blanks.h"

namespace zelk::receipt {

using text::trimBlanks;

namespace {

// The header columns that both the insert and the rewrite store (all but fphm), with their
// values as the form holds them.
QList<QPair<QString, QString>> headerValues(const ReceiptEntry& entry) {
    return {
        {QStringLiteral("kpdate"), searchableDate(entry.issueDate)},
        {QStringLiteral("kpdate2"), displayedDate(entry.issueDate)},
        {QStringLiteral("hyfl"), entry.category},
        {QStringLiteral("jdhm"), entry.machineNumber},
        {QStringLiteral("qssj"), entry.periodStart},
        {QStringLiteral("jcsj"), entry.periodEnd},
        {QStringLiteral("jym"), entry.checkCode},
        {QStringLiteral("fkfmc"), entry.payerName},
        {QStringLiteral("jexx"), entry.totalFigures},
        {QStringLiteral("jedx"), entry.totalCapitals},
        {QStringLiteral("skfmc"), entry.payeeName},
        {QStringLiteral("kpr"), entry.issuer},
        {QStringLiteral("bz1"), entry.noticeLine},
        {QStringLiteral("bz2"), entry.remarks},
    };
}

} // namespace

SaveRefusal checkBeforeSave(const ReceiptEntry& entry) {
    if (entry.payerName.isEmpty())
        return SaveRefusal::EmptyPayer;
    if (trimBlanks(entry.totalFigures).isEmpty())
        return SaveRefusal::EmptyTotal;
    return SaveRefusal::None;
}

QString refusalMessage(SaveRefusal refusal) {
    switch (refusal) {
    case SaveRefusal::EmptyPayer:
        return QStringLiteral("付款方名称不能为空！");
    case SaveRefusal::EmptyTotal:
        return QStringLiteral("金额不能为空！");
    case SaveRefusal::None:
        break;
    }
    return QString();
}

ReceiptSaver::ReceiptSaver(data::Tdmtd& dm) : dm_(dm) {}

QString ReceiptSaver::save(const ReceiptEntry& entry) {
    // The entry page refuses these with a notice first; refusing here as well keeps a receipt
    // without payer or total out of the tables whoever calls.
    const SaveRefusal refusal = checkBeforeSave(entry);
    if (refusal != SaveRefusal::None)
        throw data::DatabaseError(refusalMessage(refusal));
    if (!entry.issueDate.isValid())
        throw data::DatabaseError(QStringLiteral("开票日期无效，票据未保存。"));

    qint64 receiptId = 0;
    const bool rewrite = !entry.receiptId.isEmpty();
    if (rewrite) {
        bool ok = false;
        receiptId = entry.receiptId.toLongLong(&ok);
        if (!ok || receiptId <= 0)
            throw data::DatabaseError(
                QStringLiteral("票据编号“%1”无效，票据未保存。").arg(entry.receiptId));
    }

    // Header, line deletion and line inserts land together or not at all; inside the write
    // lock the largest kpid is the receipt just inserted, whoever else writes to the file.
    data::Transaction transaction(dm_.Database3_ado);
    if (rewrite) {
        requireReceipt(receiptId);
        rewriteHeader(entry, receiptId);
        deleteLines(receiptId);
    } else {
        insertHeader(entry);
        receiptId = dm_.largestReceiptId();
    }
    insertLines(entry, receiptId);
    // The search index takes the receipt (queued by fpmain's triggers) in the same transaction.
    data::searchindex::applyQueued(dm_.Database3_ado);
    transaction.commit();
    return rewrite ? entry.receiptId : QString::number(receiptId);
}

void ReceiptSaver::insertHeader(const ReceiptEntry& entry) {
    data::Query& q = dm_.Qry_Insert;
    q.close();
    q.clear();
    q.add(QStringLiteral("insert into fpmain "
                         "(fphm,kpdate,kpdate2,hyfl,jdhm,qssj,jcsj,jym,fkfmc,jexx,jedx,skfmc,kpr,"
                         "bz1,bz2)"));
    q.add(QStringLiteral(" values(:fphm,:kpdate,:kpdate2,:hyfl,:jdhm,:qssj,:jcsj,:jym,:fkfmc,"
                         ":jexx,:jedx,:skfmc,:kpr,:bz1,:bz2)"));
    // Every value goes as text; kpdate's INTEGER column turns the eight digits into a number.
    q.bind(QStringLiteral("fphm"), entry.invoiceNumber);
    for (const auto& [column, value] : headerValues(entry))
        q.bind(column, value);
    q.execute();
    q.close();
}

void ReceiptSaver::requireReceipt(qint64 receiptId) {
    // Without this a receipt removed by someone else would be "rewritten" as orphan lines.
    data::Query& q = dm_.Qry_Func;
    q.close();
    q.clear();
    q.add(QStringLiteral("select count(*) as n from fpmain"));
    q.add(QStringLiteral(" where kpid=:kpid"));
    q.bind(QStringLiteral("kpid"), receiptId);
    q.open();
    const bool found = !q.eof() && q.fieldAsInteger(QStringLiteral("n")) > 0;
    q.close();
    if (!found)
        throw ReceiptGone(
            QStringLiteral("数据库中没有编号为 %1 的票据（可能已被另一个运行中的本程序删除），"
                           "票据未保存。")
                .arg(receiptId));
}

void ReceiptSaver::rewriteHeader(const ReceiptEntry& entry, qint64 receiptId) {
    data::Query& q = dm_.Qry_Insert;
    q.close();
    q.clear();
    // The invoice number keeps the value of the first save.
    q.add(QStringLiteral("update fpmain"));
    q.add(QStringLiteral(" set kpdate=:kpdate"));
    q.add(QStringLiteral(" ,kpdate2=:kpdate2"));
    q.add(QStringLiteral(" ,hyfl=:hyfl"));
    q.add(QStringLiteral(" ,jdhm=:jdhm"));
    q.add(QStringLiteral(" ,qssj=:qssj"));
    q.add(QStringLiteral(" ,jcsj=:jcsj"));
    q.add(QStringLiteral(" ,jym=:jym"));
    q.add(QStringLiteral(" ,fkfmc=:fkfmc"));
    q.add(QStringLiteral(" ,jexx=:jexx"));
    q.add(QStringLiteral(" ,jedx=:jedx"));
    q.add(QStringLiteral(" ,skfmc=:skfmc"));
    q.add(QStringLiteral(" ,kpr=:kpr"));
    q.add(QStringLiteral(" ,bz1=:bz1"));
    q.add(QStringLiteral(" ,bz2=:bz2"));
    q.add(QStringLiteral(" where kpid=:kpid"));
    for (const auto& [column, value] : headerValues(entry))
        q.bind(column, trimBlanks(value));
    q.bind(QStringLiteral("kpid"), receiptId);
    q.execute();
    q.close();
}

void ReceiptSaver::deleteLines(qint64 receiptId) {
    data::Query& q = dm_.Qry_Insert;
    q.close();
    q.clear();
    q.add(QStringLiteral("delete from fpdetail"));
    q.add(QStringLiteral(" where kpid=:kpid"));
    q.bind(QStringLiteral("kpid"), receiptId);
    q.execute();
    q.close();
}

void ReceiptSaver::insertLines(const ReceiptEntry& entry, qint64 receiptId) {
    data::Query& q = dm_.Qry_Insert;
    for (const EntryLine& line : entry.lines) {
        if (trimBlanks(line.amount).isEmpty())
            continue;
        q.close();
        q.clear();
        q.add(QStringLiteral("insert into fpdetail (kpid,xm,kjll,dw,sl,dj,je)"));
        q.add(QStringLiteral(" values(:kpid,:xm,:kjll,:dw,:sl,:dj,:je)"));
        q.bind(QStringLiteral("kpid"), receiptId);
        q.bind(QStringLiteral("xm"), line.item);
        q.bind(QStringLiteral("kjll"), line.content);
        q.bind(QStringLiteral("dw"), line.unit);
        q.bind(QStringLiteral("sl"), line.quantity);
        q.bind(QStringLiteral("dj"), line.unitPrice);
        q.bind(QStringLiteral("je"), line.amount);
        q.execute();
        q.close();
    }
}

} // namespace zelk::receipt
