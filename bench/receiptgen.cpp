#include "receiptgen.h"

#include "receipt/entrytotals.h"
#include "store/fileschema.h"

#include <QStringList>
#include <random>

namespace bench {

using zelk::receipt::EntryLine;
using zelk::receipt::ReceiptEntry;

namespace {

// Word lists. None of them holds a character of rareText(), so it only appears where it is
// planted.
const char* const cities[] = {"广州", "深圳", "佛山", "东莞", "杭州", "宁波", "温州", "苏州",
                              "无锡", "南京", "成都", "重庆", "武汉", "长沙", "郑州", "济南",
                              "青岛", "厦门", "福州", "合肥", "南昌", "昆明", "贵阳", "南宁"};
const char* const brands[] = {"华盛", "金利", "永兴", "恒达", "宏远", "新锐", "东方", "美佳",
                              "鼎泰", "嘉禾", "百川", "汇通", "鸿运", "顺发", "天成", "瑞丰",
                              "佳乐", "明华", "兴业", "富源", "安康", "万达", "长虹", "金鹏"};
const char* const trades[] = {"贸易", "电子",     "建材",     "餐饮管理", "物流",     "装饰工程",
                              "五金", "文化传播", "食品",     "服装",     "信息技术", "机械设备",
                              "家具", "印刷",     "汽车服务", "农业开发"};
const char* const companyForms[] = {"有限公司", "有限公司", "有限公司", "有限责任公司",
                                    "商贸行",   "经营部",   "门市部",   "工作室"};
const char* const surnames[] = {"王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周",
                                "徐", "孙", "马", "朱", "胡", "郭", "何", "高", "林", "罗"};
const char* const givenNames[] = {"伟", "芳",   "娜",   "秀英", "敏",   "静",   "丽",
                                  "强", "磊",   "军",   "洋",   "勇",   "艳",   "杰",
                                  "娟", "涛",   "明",   "超",   "秀兰", "霞",   "平",
                                  "刚", "桂英", "建国", "志强", "文华", "晓东", "海燕"};
const char* const issuers[] = {"管理员", "李会计", "王出纳", "张丽"};
const char* const categories[] = {"服务业", "服务业", "服务业", "零售业", "餐饮业", "建筑业"};
const char* const remarks[] = {
    "月结，下月10日前付款",
    "含运费",
    "已收定金500元，余款货到付清",
    "现金支付",
    "微信支付",
    "银行转账，户名见上",
    "合同号：HT2025-0342",
    "送货地址：工业园区三栋二楼",
    "本单仅作收款凭证，发票另开",
    "质保一年，凭本单维修",
    "客户自提",
    "分两批交货，第一批已交",
};

struct Goods {
    const char* item;
    const char* content;
    const char* unit;
    int priceCents;
};

const Goods goods[] = {
    {"办公用品", "A4复印纸", "箱", 12500},
    {"办公用品", "中性笔", "盒", 2400},
    {"办公用品", "文件夹", "个", 650},
    {"电子产品", "无线鼠标", "个", 5900},
    {"电子产品", "键盘", "个", 8900},
    {"维修服务", "空调清洗保养", "台", 12000},
    {"维修服务", "电脑维修", "次", 8000},
    {"餐饮", "工作餐", "份", 2500},
    {"餐饮", "会议茶歇", "人", 4500},
    {"建材", "瓷砖", "平方米", 8650},
    {"建材", "水泥", "袋", 2850},
    {"五金", "不锈钢螺丝", "包", 1200},
    {"五金", "电线", "卷", 18800},
    {"服务费", "设计服务费", "项", 150000},
    {"服务费", "技术咨询费", "次", 50000},
    {"运输", "同城配送", "次", 6000},
    {"食品", "矿泉水", "箱", 3600},
    {"服装", "工作服", "套", 16800},
    {"印刷", "宣传单页印刷", "千张", 32000},
    {"家具", "办公椅", "把", 45000},
};

template <typename T, std::size_t N> const T& pick(std::mt19937_64& rng, const T (&list)[N]) {
    return list[std::uniform_int_distribution<std::size_t>(0, N - 1)(rng)];
}

QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QString digits(std::mt19937_64& rng, int count) {
    QString s;
    for (int i = 0; i < count; ++i)
        s += QLatin1Char(char('0' + std::uniform_int_distribution<int>(0, 9)(rng)));
    return s;
}

QString money(qint64 cents) {
    return QStringLiteral("%1.%2").arg(cents / 100).arg(cents % 100, 2, 10, QLatin1Char('0'));
}

// One of the business's regular customers; customer numbers below a fifth of the pool are
// people, the rest companies.
QString customer(qint64 number) {
    std::mt19937_64 rng(quint64(number) * 7919u + 17u);
    if (number % 5 == 0)
        return u(pick(rng, surnames)) + u(pick(rng, givenNames));
    return u(pick(rng, cities)) + u(pick(rng, brands)) + u(pick(rng, trades)) +
           u(pick(rng, companyForms));
}

EntryLine line(std::mt19937_64& rng) {
    const Goods& g = pick(rng, goods);
    const int quantity = std::uniform_int_distribution<int>(1, 40)(rng);
    EntryLine l;
    l.item = u(g.item);
    l.content = u(g.content);
    l.unit = u(g.unit);
    l.quantity = QString::number(quantity);
    l.unitPrice = money(g.priceCents);
    l.amount = money(qint64(g.priceCents) * quantity);
    return l;
}

void finish(ReceiptEntry& e) {
    const zelk::receipt::EntryTotals totals = zelk::receipt::computeTotals(e.lines);
    e.totalFigures = totals.figures;
    e.totalCapitals = totals.capitals;
}

} // namespace

QString rareText() {
    return QStringLiteral("瀚洋星辰");
}

QString commonText() {
    return QStringLiteral("有限公司");
}

ReceiptGenerator::ReceiptGenerator(qint64 total, const QDate& today)
    : total_(total), today_(today) {}

ReceiptEntry ReceiptGenerator::receipt(qint64 index) const {
    std::mt19937_64 rng(quint64(index) * 2654435761u + 12345u);
    ReceiptEntry e;
    e.invoiceNumber = QStringLiteral("%1").arg(10000001 + index, 8, 10, QLatin1Char('0'));
    // Day by day over ten years, the last receipt today.
    const qint64 day = index * days / std::max<qint64>(total_, 1); // as many receipts each day
    e.issueDate = today_.addDays(day - (days - 1));
    e.category = u(pick(rng, categories));
    e.machineNumber =
        std::bernoulli_distribution(0.7)(rng) ? QStringLiteral("1440") + digits(rng, 8) : QString();
    const bool period = std::bernoulli_distribution(0.3)(rng);
    e.periodStart = period ? e.issueDate.addDays(-30).toString(QStringLiteral("yyyy-MM-dd"))
                           : zelk::receipt::blankPeriod();
    e.periodEnd =
        period ? e.issueDate.toString(QStringLiteral("yyyy-MM-dd")) : zelk::receipt::blankPeriod();
    e.checkCode = std::bernoulli_distribution(0.5)(rng) ? digits(rng, 20) : QString();
    // A business this size has about one regular customer per twenty receipts.
    const qint64 pool = std::max<qint64>(50, total_ / 20);
    e.payerName = customer(std::uniform_int_distribution<qint64>(0, pool - 1)(rng));
    // The rare text: planted in exactly ten receipts, spread over the years.
    const qint64 spacing = std::max<qint64>(1, total_ / 10);
    if (index % spacing == spacing / 2 && index / spacing < 10)
        e.payerName = QStringLiteral("深圳") + rareText() + QStringLiteral("科技有限公司");
    const int lineCount = std::uniform_int_distribution<int>(1, 5)(rng);
    for (int i = 0; i < lineCount; ++i)
        e.lines[std::size_t(i)] = line(rng);
    const int r = std::uniform_int_distribution<int>(0, 9)(rng);
    if (r >= 5) // half of the receipts carry remarks, some of several lines
        e.remarks = u(pick(rng, remarks));
    if (r >= 8)
        e.remarks += QLatin1Char('\n') + u(pick(rng, remarks));
    if (r == 9)
        e.remarks += QStringLiteral("\n联系人：") + u(pick(rng, surnames)) +
                     QStringLiteral("先生 电话：138") + digits(rng, 8);
    e.payeeName = zelk::store::schema::defaultSetting(zelk::store::schema::payeeSetting);
    e.issuer = u(pick(rng, issuers));
    e.noticeLine = zelk::store::schema::defaultSetting(zelk::store::schema::noticeSetting);
    finish(e);
    return e;
}

ReceiptEntry ReceiptGenerator::fiveLineReceipt(qint64 seed) const {
    ReceiptEntry e = receipt(seed);
    std::mt19937_64 rng(quint64(seed) + 99u);
    for (EntryLine& l : e.lines)
        l = line(rng);
    e.issueDate = today_;
    e.receiptId.clear();
    finish(e);
    return e;
}

QStringList headerValues(const zelk::receipt::ReceiptEntry& e) {
    return {e.invoiceNumber,
            zelk::receipt::searchableDate(e.issueDate),
            zelk::receipt::displayedDate(e.issueDate),
            e.category,
            e.machineNumber,
            e.periodStart,
            e.periodEnd,
            e.checkCode,
            e.payerName,
            e.totalFigures,
            e.totalCapitals,
            e.payeeName,
            e.issuer,
            e.noticeLine,
            e.remarks};
}

} // namespace bench
