#include "books/receiptexport.h"

#include "data/databaseerror.h"
#include "store/store.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <filesystem>

#include <xlsxwriter.h>

namespace zelk::books {

namespace {

// The most characters a spreadsheet cell holds.
constexpr qsizetype cellLimit = 32767;

const QStringList& headerCaptionsByColumn() {
    static const QStringList captions = {
        QStringLiteral("发票号码"),       QStringLiteral("开票日期"),
        QStringLiteral("开票日期(文字)"), QStringLiteral("行业分类"),
        QStringLiteral("机打号码"),       QStringLiteral("起始时间"),
        QStringLiteral("截止时间"),       QStringLiteral("校验码"),
        QStringLiteral("付款方名称"),     QStringLiteral("合计金额"),
        QStringLiteral("合计金额(大写)"), QStringLiteral("收款方名称"),
        QStringLiteral("开票人"),         QStringLiteral("提示行"),
        QStringLiteral("备注"),
    };
    return captions;
}

int headerIndex(const char* column) {
    return int(store::headerColumns().indexOf(QLatin1String(column)));
}

// An amount as the entry stores it: a plain decimal with at most two places, small enough to be
// exact as a spreadsheet number. Anything else is kept as the text it is.
std::optional<double> amountNumber(const QString& text) {
    static const QRegularExpression plain(QStringLiteral("^-?\\d{1,13}(\\.\\d{1,2})?$"));
    if (!plain.match(text).hasMatch())
        return std::nullopt;
    return text.toDouble();
}

// A NUL cannot be part of a spreadsheet or a CSV text that other programs read: it is left out.
QString withoutNul(QString text) {
    text.remove(QChar(0));
    return text;
}

bool looksLikeFormula(const QString& text) {
    if (text.isEmpty())
        return false;
    const QChar first = text.front();
    return first == u'=' || first == u'+' || first == u'-' || first == u'@' || first == u'\t' ||
           first == u'\r';
}

QString csvField(const QString& value, bool text) {
    QString field = withoutNul(value);
    if (text && looksLikeFormula(field))
        field.prepend(u'\'');
    if (field.contains(u',') || field.contains(u'"') || field.contains(u'\n') ||
        field.contains(u'\r')) {
        field.replace(QStringLiteral("\""), QStringLiteral("\"\""));
        field = u'"' + field + u'"';
    }
    return field;
}

void check(lxw_error error);
bool writeText(lxw_worksheet* sheet, lxw_row_t row, lxw_col_t column, const QString& value,
               lxw_format* format);

class Writer {
public:
    virtual ~Writer() = default;
    virtual void receipt(const store::StoredReceipt& receipt) = 0;
    virtual void finish() = 0; // throws on failure
    qint64 cutTexts = 0;
};

class CsvWriter : public Writer {
public:
    explicit CsvWriter(const QString& path) : file_(path) {
        if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw data::DatabaseError(
                QStringLiteral("无法写入文件 %1。").arg(QDir::toNativeSeparators(path)),
                file_.errorString());
        file_.write("\xEF\xBB\xBF");
        QStringList fields;
        for (const QString& caption : receiptCaptions())
            fields << csvField(caption, true);
        line(fields);
    }
    void receipt(const store::StoredReceipt& receipt) override {
        QStringList fields = {QString::number(receipt.kpid)};
        for (int i = 0; i < receipt.header.size(); ++i) {
            const QString& value = receipt.header[i];
            if (i == headerIndex("kpdate")) {
                const QDate date = QDate::fromString(value, QStringLiteral("yyyyMMdd"));
                fields << (date.isValid() ? date.toString(Qt::ISODate) : csvField(value, true));
            } else if (i == headerIndex("jexx") && amountNumber(value)) {
                fields << value;
            } else {
                fields << csvField(value, true);
            }
        }
        line(fields);
    }
    void finish() override {
        if (!file_.flush() || file_.error() != QFileDevice::NoError)
            throw data::DatabaseError(QStringLiteral("写入导出文件失败。"), file_.errorString());
        file_.close();
    }

private:
    void line(const QStringList& fields) {
        file_.write(fields.join(u',').toUtf8());
        file_.write("\r\n");
    }
    QFile file_;
};

class XlsxWriter : public Writer {
public:
    explicit XlsxWriter(const QString& path) {
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        const QByteArray native = QFile::encodeName(path);
        book_ = workbook_new_opt(native.constData(), &options);
        if (!book_)
            throw data::DatabaseError(
                QStringLiteral("无法写入文件 %1。").arg(QDir::toNativeSeparators(path)));
        money_ = workbook_add_format(book_);
        format_set_num_format(money_, "0.00");
        date_ = workbook_add_format(book_);
        format_set_num_format(date_, "yyyy-mm-dd");
        bold_ = workbook_add_format(book_);
        format_set_bold(bold_);
        startSheet(receipts_);
        startSheet(lines_);
    }
    ~XlsxWriter() override {
        if (book_)
            workbook_close(book_);
    }
    void receipt(const store::StoredReceipt& receipt) override {
        lxw_worksheet* const sheet = nextRow(receipts_);
        const lxw_row_t row = receipts_.row;
        check(worksheet_write_number(sheet, row, 0, double(receipt.kpid), nullptr));
        for (int i = 0; i < receipt.header.size(); ++i) {
            const QString& value = receipt.header[i];
            const lxw_col_t column = lxw_col_t(i + 1);
            if (i == headerIndex("kpdate")) {
                const QDate date = QDate::fromString(value, QStringLiteral("yyyyMMdd"));
                if (date.isValid()) {
                    lxw_datetime when{date.year(), date.month(), date.day(), 0, 0, 0};
                    check(worksheet_write_datetime(sheet, row, column, &when, date_));
                    continue;
                }
            } else if (i == headerIndex("jexx")) {
                if (const auto number = amountNumber(value)) {
                    check(worksheet_write_number(sheet, row, column, *number, money_));
                    continue;
                }
            }
            text(sheet, row, column, value, nullptr);
        }
        const QString& number = receipt.header.value(headerIndex("fphm"));
        const int amountColumn = int(store::lineColumns().indexOf(QStringLiteral("je")));
        for (const QStringList& line : receipt.lines) {
            lxw_worksheet* const lineSheet = nextRow(lines_);
            const lxw_row_t lineRow = lines_.row;
            check(worksheet_write_number(lineSheet, lineRow, 0, double(receipt.kpid), nullptr));
            text(lineSheet, lineRow, 1, number, nullptr);
            for (int i = 0; i < line.size(); ++i) {
                const lxw_col_t column = lxw_col_t(i + 2);
                const auto amount = i == amountColumn ? amountNumber(line[i]) : std::nullopt;
                if (amount)
                    check(worksheet_write_number(lineSheet, lineRow, column, *amount, money_));
                else
                    text(lineSheet, lineRow, column, line[i], nullptr);
            }
        }
    }
    void finish() override {
        lxw_workbook* book = book_;
        book_ = nullptr;
        const lxw_error closed = workbook_close(book);
        if (closed != LXW_NO_ERROR)
            throw data::DatabaseError(QStringLiteral("写入导出文件失败。"),
                                      QString::fromUtf8(lxw_strerror(closed)));
    }

private:
    void text(lxw_worksheet* sheet, lxw_row_t row, lxw_col_t column, const QString& value,
              lxw_format* format) {
        if (writeText(sheet, row, column, value, format))
            ++cutTexts;
    }

    lxw_workbook* book_ = nullptr;
    // A sheet and the rows written to it so far; the captions are row 0.
    struct Sheet {
        QString name;
        const QStringList* captions;
        lxw_worksheet* handle = nullptr;
        lxw_row_t row = 0;
        int part = 1;
    };

    void startSheet(Sheet& sheet) {
        const QByteArray name =
            (sheet.part == 1 ? sheet.name : sheet.name + QStringLiteral(" (%1)").arg(sheet.part))
                .toUtf8();
        sheet.handle = workbook_add_worksheet(book_, name.constData());
        if (!sheet.handle)
            throw data::DatabaseError(QStringLiteral("写入导出文件失败。"));
        sheet.row = 0;
        for (int c = 0; c < sheet.captions->size(); ++c)
            text(sheet.handle, 0, lxw_col_t(c), sheet.captions->at(c), bold_);
    }

    // The sheet of the next row. A sheet holds 1,048,576 rows: the rows beyond go on to a
    // further sheet of the same name with its number ("明细 (2)"), under the same captions.
    lxw_worksheet* nextRow(Sheet& sheet) {
        if (sheet.row + 1 >= LXW_ROW_MAX) {
            ++sheet.part;
            startSheet(sheet);
        }
        ++sheet.row;
        return sheet.handle;
    }

    Sheet receipts_{QStringLiteral("收据"), &receiptCaptions()};
    Sheet lines_{QStringLiteral("明细"), &lineCaptions()};
    lxw_format* money_ = nullptr;
    lxw_format* date_ = nullptr;
    lxw_format* bold_ = nullptr;
};

void check(lxw_error error) {
    if (error != LXW_NO_ERROR)
        throw data::DatabaseError(QStringLiteral("写入导出文件失败。"),
                                  QString::fromUtf8(lxw_strerror(error)));
}

// Always a text cell (an inline string), so a value such as "=SUM(A1:A9)" stays text. Returns
// whether the text was cut to what a cell holds.
bool writeText(lxw_worksheet* sheet, lxw_row_t row, lxw_col_t column, const QString& value,
               lxw_format* format) {
    bool cut = false;
    QString cell = withoutNul(value);
    if (cell.size() > cellLimit) {
        const QList<uint> points = cell.toUcs4();
        if (points.size() > cellLimit) {
            cell =
                QString::fromUcs4(reinterpret_cast<const char32_t*>(points.constData()), cellLimit);
            cut = true;
        }
    }
    if (cell.isEmpty())
        return cut;
    // Spreadsheet readers decode _xHHHH_ in a text as the character HHHH (libxlsxwriter
    // writes control characters so); a literal one is escaped to stay as typed.
    static const QRegularExpression escapeLike(QStringLiteral("_(x[0-9A-Fa-f]{4}_)"));
    cell.replace(escapeLike, QStringLiteral("_x005F_\\1"));
    const QByteArray utf8 = cell.toUtf8();
    check(worksheet_write_string(sheet, row, column, utf8.constData(), format));
    return cut;
}

// Puts the finished temporary file in place of `path`; removes it on failure.
void moveIntoPlace(const QString& temporary, const QString& path) {
    std::error_code error;
    std::filesystem::rename(QFile::encodeName(temporary).toStdString(),
                            QFile::encodeName(path).toStdString(), error);
    if (error) {
        QFile::remove(temporary);
        throw data::DatabaseError(
            QStringLiteral("无法把导出文件命名为 %1。").arg(QDir::toNativeSeparators(path)),
            QString::fromStdString(error.message()));
    }
}

std::optional<ExportFormat> checkedFormat(const QString& path) {
    const std::optional<ExportFormat> format = exportFormatFor(path);
    if (!format)
        throw data::DatabaseError(QStringLiteral("导出文件名应以 .xlsx 或 .csv 结尾：%1")
                                      .arg(QDir::toNativeSeparators(path)));
    return format;
}

void writeSummaryXlsx(const QList<store::SummaryRow>& rows, const QStringList& captions,
                      const QString& path) {
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    const QByteArray native = QFile::encodeName(path);
    lxw_workbook* book = workbook_new_opt(native.constData(), &options);
    if (!book)
        throw data::DatabaseError(
            QStringLiteral("无法写入文件 %1。").arg(QDir::toNativeSeparators(path)));
    try {
        lxw_worksheet* sheet = workbook_add_worksheet(book, "统计");
        lxw_format* money = workbook_add_format(book);
        format_set_num_format(money, "0.00");
        lxw_format* bold = workbook_add_format(book);
        format_set_bold(bold);
        for (int c = 0; c < captions.size(); ++c)
            writeText(sheet, 0, lxw_col_t(c), captions[c], bold);
        lxw_row_t r = 0;
        for (const store::SummaryRow& row : rows) {
            writeText(sheet, ++r, 0, row.key, nullptr);
            check(worksheet_write_number(sheet, r, 1, double(row.count), nullptr));
            if (const auto total = amountNumber(row.total))
                check(worksheet_write_number(sheet, r, 2, *total, money));
            else
                writeText(sheet, r, 2, row.total, nullptr);
        }
    } catch (...) {
        workbook_close(book);
        throw;
    }
    check(workbook_close(book));
}

void writeSummaryCsv(const QList<store::SummaryRow>& rows, const QStringList& captions,
                     const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw data::DatabaseError(
            QStringLiteral("无法写入文件 %1。").arg(QDir::toNativeSeparators(path)),
            file.errorString());
    QByteArray out("\xEF\xBB\xBF");
    QStringList fields;
    for (const QString& caption : captions)
        fields << csvField(caption, true);
    out += fields.join(u',').toUtf8() + "\r\n";
    for (const store::SummaryRow& row : rows)
        out += (csvField(row.key, true) + u',' + QString::number(row.count) + u',' +
                csvField(row.total, !amountNumber(row.total)))
                   .toUtf8() +
               "\r\n";
    if (file.write(out) != out.size() || !file.flush())
        throw data::DatabaseError(QStringLiteral("写入导出文件失败。"), file.errorString());
}

} // namespace

std::optional<ExportFormat> exportFormatFor(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("xlsx"))
        return ExportFormat::Xlsx;
    if (suffix == QLatin1String("csv"))
        return ExportFormat::Csv;
    return std::nullopt;
}

const QStringList& receiptCaptions() {
    static const QStringList captions =
        QStringList{QStringLiteral("发票编号")} + headerCaptionsByColumn();
    return captions;
}

const QStringList& lineCaptions() {
    static const QStringList captions = {QStringLiteral("发票编号"), QStringLiteral("发票号码"),
                                         QStringLiteral("项目"),     QStringLiteral("内容"),
                                         QStringLiteral("单位"),     QStringLiteral("数量"),
                                         QStringLiteral("单价"),     QStringLiteral("金额")};
    return captions;
}

QList<qint64> searchResultIds(store::Store& store, const store::HistoryCriteria& criteria) {
    QList<qint64> ids;
    const std::unique_ptr<store::HistoryReader> reader = store.searchHistory(criteria);
    while (reader->readBatch(5000, [&](qint64 kpid, const QByteArrayView*) { ids << kpid; })) {
    }
    return ids;
}

ExportResult exportReceipts(store::Store& store, const QList<qint64>& ids, const QString& path,
                            const ExportProgress& progress) {
    const std::optional<ExportFormat> format = checkedFormat(path);
    const QString temporary = path + QStringLiteral(".part");
    QFile::remove(temporary);
    ExportResult result;
    try {
        std::unique_ptr<Writer> writer;
        if (*format == ExportFormat::Xlsx)
            writer = std::make_unique<XlsxWriter>(temporary);
        else
            writer = std::make_unique<CsvWriter>(temporary);
        for (qsizetype i = 0; i < ids.size(); ++i) {
            if (progress && i % 256 == 0 && !progress(i, ids.size())) {
                result.cancelled = true;
                break;
            }
            // A receipt removed since the search is left out.
            const std::optional<store::StoredReceipt> receipt = store.loadReceipt(ids[i]);
            if (!receipt)
                continue;
            writer->receipt(*receipt);
            ++result.receipts;
            result.lines += receipt->lines.size();
        }
        if (!result.cancelled) {
            writer->finish();
            result.cutTexts = writer->cutTexts;
        }
    } catch (...) {
        QFile::remove(temporary);
        throw;
    }
    if (result.cancelled) {
        QFile::remove(temporary);
        return result;
    }
    moveIntoPlace(temporary, path);
    if (progress)
        progress(ids.size(), ids.size());
    return result;
}

void exportSummary(const QList<store::SummaryRow>& rows, const QString& keyCaption,
                   const QString& path) {
    const std::optional<ExportFormat> format = checkedFormat(path);
    const QStringList captions = {keyCaption, QStringLiteral("张数"), QStringLiteral("金额合计")};
    const QString temporary = path + QStringLiteral(".part");
    QFile::remove(temporary);
    try {
        if (*format == ExportFormat::Xlsx)
            writeSummaryXlsx(rows, captions, temporary);
        else
            writeSummaryCsv(rows, captions, temporary);
    } catch (...) {
        QFile::remove(temporary);
        throw;
    }
    moveIntoPlace(temporary, path);
}

} // namespace zelk::books
