#include "store/storeconfig.h"

#include "data/databaseerror.h"
#include "store/filestore.h"
#include "store/pgstore.h"
#include "store/store.h"

namespace zelk::store {

namespace {

enum Row {
    KindRow = firstStoreSetting,
    HostRow,
    PortRow,
    DatabaseRow,
    UserRow,
    PasswordRow,
    TlsRow,
    CertificateRow,
};
static_assert(CertificateRow == lastStoreSetting);

QString quoted(const QString& value) {
    QString out = value;
    out.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    out.replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + out + QLatin1Char('\'');
}

} // namespace

StoreConfig loadStoreConfig(Store& localFile) {
    StoreConfig config;
    config.server = localFile.setting(KindRow) == QLatin1String("server");
    if (!config.server)
        return config;
    config.host = localFile.setting(HostRow);
    config.port = localFile.setting(PortRow);
    config.database = localFile.setting(DatabaseRow);
    config.user = localFile.setting(UserRow);
    config.password = localFile.setting(PasswordRow);
    config.tls = localFile.setting(TlsRow) != QLatin1String("0");
    config.certificate = localFile.setting(CertificateRow);
    return config;
}

void saveStoreConfig(Store& localFile, const StoreConfig& config) {
    localFile.setSettings({
        {KindRow, config.server ? QStringLiteral("server") : QStringLiteral("file")},
        {HostRow, config.host},
        {PortRow, config.port},
        {DatabaseRow, config.database},
        {UserRow, config.user},
        {PasswordRow, config.password},
        {TlsRow, config.tls ? QStringLiteral("1") : QStringLiteral("0")},
        {CertificateRow, config.certificate},
    });
}

void checkStoreConfig(const StoreConfig& config) {
    if (!config.server)
        return;
    QString missing;
    if (config.host.trimmed().isEmpty())
        missing = QStringLiteral("服务器地址");
    else if (config.database.trimmed().isEmpty())
        missing = QStringLiteral("数据库名");
    else if (config.user.trimmed().isEmpty())
        missing = QStringLiteral("用户名");
    if (!missing.isEmpty())
        throw data::DatabaseError(QStringLiteral("请填写%1，设置没有保存。").arg(missing));
    // libpq never encrypts a local socket: refuse the pair rather than pretend.
    if (config.tls && (config.host.trimmed().startsWith(QLatin1Char('/')) ||
                       config.host.contains(QStringLiteral(",/"))))
        throw data::DatabaseError(QStringLiteral(
            "服务器地址是本机的套接字文件夹，这种连接不加密。请取消“加密连接”，或者填写服务器的"
            "名称；设置没有保存。"));
    bool ok = false;
    const int port = config.port.trimmed().toInt(&ok);
    if (!ok || port < 1 || port > 65535)
        throw data::DatabaseError(
            QStringLiteral("端口“%1”不是 1 到 65535 之间的数字，设置没有保存。").arg(config.port));
}

QString serverConnInfo(const StoreConfig& config) {
    QStringList parts = {
        QStringLiteral("host=") + quoted(config.host.trimmed()),
        QStringLiteral("port=") + quoted(config.port.trimmed()),
        QStringLiteral("dbname=") + quoted(config.database.trimmed()),
        QStringLiteral("user=") + quoted(config.user.trimmed()),
        QStringLiteral("password=") + quoted(config.password),
        // Without TLS nothing is encrypted; with it the certificate and the server's name are
        // checked, so a server that is not the shop's own is refused.
        QStringLiteral("sslmode=") +
            (config.tls ? QStringLiteral("verify-full") : QStringLiteral("disable")),
    };
    if (config.tls && !config.certificate.trimmed().isEmpty())
        parts << QStringLiteral("sslrootcert=") + quoted(config.certificate.trimmed());
    return parts.join(QLatin1Char(' '));
}

std::unique_ptr<Store> openConfiguredStore(FileStore& localFile) {
    const StoreConfig config = loadStoreConfig(localFile);
    if (!config.server)
        return std::make_unique<FileStore>(localFile.connection());
    return std::make_unique<PgStore>(serverConnInfo(config));
}

DeskStores::DeskStores(const QString& databasePath)
    : localFile(std::make_unique<FileStore>(databasePath)), store(openConfiguredStore(*localFile)) {
}

DeskStores::~DeskStores() = default;

} // namespace zelk::store
