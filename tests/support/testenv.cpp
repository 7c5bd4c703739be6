// Linked into every test program, so that one started directly from a shell behaves as under
// ctest: the offscreen platform and a private runtime folder unless the caller chose others.
#include <QByteArray>
#include <QtGlobal>

namespace {

[[maybe_unused]] const bool environmentReady = [] {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    if (!qEnvironmentVariableIsSet("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", QByteArrayLiteral(ZELK_TEST_RUNTIME_DIR));
    return true;
}();

} // namespace
