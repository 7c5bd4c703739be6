// Fuzz target for report templates: parseTemplate on any bytes, then layoutReport of what it
// accepts over a small receipt dataset, then the prepared report of that layout written and read
// back. A bad template must end in TemplateError (or ReportError), never in a crash, a hang or a
// layout that cannot be saved and reopened.
#include "fuzzcheck.h"

#include "report/layout.h"
#include "report/preparedreport.h"
#include "report/reporterror.h"
#include "report/template.h"

#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>

#include <memory>

using zelk::fuzz::check;

namespace {

QString templatePath;

// Fonts cannot be measured without a GUI application; the offscreen platform needs no display.
void startApplication() {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_template";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    // A real background image beside the template, so templates that name it get past loading.
    static QTemporaryDir dir;
    QImage image(4, 3, QImage::Format_ARGB32);
    image.fill(Qt::gray);
    image.save(dir.filePath(QStringLiteral("bg.png")));
    templatePath = dir.filePath(QStringLiteral("fuzz.frf"));
}

zelk::report::DataSet sampleData(int rows) {
    // The columns a receipt preview hands to its template, and one more.
    zelk::report::DataSet data;
    data.columns =
        QStringLiteral("kpid fphm kpdate kpdate2 hyfl jdhm qssj jcsj jym fkfmc jexx jedx "
                       "skfmc kpr bz1 bz2 fpmxid xm kjll dw sl dj je a")
            .split(u' ');
    for (int i = 0; i < rows; ++i) {
        QStringList row;
        for (const QString& column : std::as_const(data.columns))
            row.append(column + QStringLiteral(" 杭州[xm] %1 \" \\ \n 😀").arg(i));
        data.rows.append(row);
    }
    return data;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    startApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 16384)
        return 0;
    const QByteArray content(reinterpret_cast<const char*>(data), qsizetype(size));
    zelk::report::Template tpl;
    try {
        tpl = zelk::report::parseTemplate(content, templatePath);
    } catch (const zelk::report::TemplateError& error) {
        check(!error.message().isEmpty(), "a template error says what is wrong");
        return 0;
    }
    check(tpl.paperSize.width() > 0 && tpl.paperSize.height() > 0, "paper has a size");
    check(!tpl.band.present || tpl.band.rowsPerPage >= 1, "a band holds at least one row");

    zelk::report::Variables variables;
    variables.insert(QStringLiteral("V0"), QStringLiteral("备注 'quoted' [fphm]"));
    for (int rows : {0, 3}) {
        zelk::report::PreparedReport prepared;
        try {
            prepared = zelk::report::layoutReport(tpl, sampleData(rows), variables);
        } catch (const zelk::report::ReportError& error) {
            check(!error.message().isEmpty(), "a layout error says what is wrong");
            return 0;
        }
        const qsizetype expectedPages =
            tpl.band.present && rows > 0 ? (rows + tpl.band.rowsPerPage - 1) / tpl.band.rowsPerPage
                                         : 1;
        check(prepared.pages.size() == expectedPages, "one page per band full of rows");
        for (const zelk::report::Page& page : prepared.pages)
            for (const zelk::report::PlacedText& text : page.texts)
                check(text.fontSize > 0 && text.fontSize <= text.templateSize,
                      "shrinking never grows a font", text.text);

        // What was laid out can be saved as a prepared report and opened again unchanged.
        const QByteArray json = zelk::report::preparedReportToJson(prepared);
        try {
            const zelk::report::PreparedReport reopened =
                zelk::report::preparedReportFromJson(json, QStringLiteral("fuzz.zrp"));
            check(reopened == prepared, "a saved layout reopens unchanged");
        } catch (const zelk::report::ReportError& error) {
            zelk::fuzz::fail("a saved layout reopens", error.message());
        }
    }
    return 0;
}
