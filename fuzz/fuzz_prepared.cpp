// Fuzz target for prepared report files: preparedReportFromJson on any bytes. A broken file must
// end in PreparedFileError, never in a crash or a hang; a file that opens must survive being
// saved and opened again unchanged.
#include "fuzzcheck.h"

#include "report/preparedreport.h"
#include "report/reporterror.h"

#include <QGuiApplication>

using zelk::fuzz::check;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // QImage and QPageLayout work without a display, but not every Qt build agrees on that
    // without an application object; the offscreen platform needs no display.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_prepared";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536)
        return 0;
    const QByteArray content(reinterpret_cast<const char*>(data), qsizetype(size));
    zelk::report::PreparedReport prepared;
    try {
        prepared = zelk::report::preparedReportFromJson(content, QStringLiteral("fuzz.zrp"));
    } catch (const zelk::report::PreparedFileError& error) {
        check(!error.message().isEmpty(), "a broken file is named with its problem");
        return 0;
    }
    check(!prepared.pages.isEmpty(), "an opened file has pages");
    check(prepared.paperSize.width() > 0 && prepared.paperSize.height() > 0, "paper has a size");

    const QByteArray saved = zelk::report::preparedReportToJson(prepared);
    try {
        const zelk::report::PreparedReport reopened =
            zelk::report::preparedReportFromJson(saved, QStringLiteral("fuzz.zrp"));
        check(reopened == prepared, "a file saved again reopens unchanged");
    } catch (const zelk::report::ReportError& error) {
        zelk::fuzz::fail("a file saved again reopens", error.message());
    }
    return 0;
}
