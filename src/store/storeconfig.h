#pragma once

#include <QString>

#include <memory>

namespace zelk::store {

class FileStore;
class Store;

// Which store the program keeps its receipts in. The choice and the server's details are
// setting rows of the local encrypted file (never of the server: the password stays in the
// encrypted file); they take effect at the next start.
struct StoreConfig {
    bool server = false; // false: the local file
    QString host;
    QString port = QStringLiteral("5432");
    QString database = QStringLiteral("zelk");
    QString user;
    QString password;
    bool tls = true;     // TLS with the server's certificate and name checked
    QString certificate; // the file of the authority that signed the server's certificate

    friend bool operator==(const StoreConfig&, const StoreConfig&) = default;
};

// The setting rows, first and last; rows in this range never leave the local file.
inline constexpr int firstStoreSetting = 201;
inline constexpr int lastStoreSetting = 208;

StoreConfig loadStoreConfig(Store& localFile);
void saveStoreConfig(Store& localFile, const StoreConfig& config);

// libpq's connection string for the configuration, every value quoted.
QString serverConnInfo(const StoreConfig& config);

// Refuses (data::DatabaseError with the reason) a server configuration without host, database
// or user, or with a port that is no number.
void checkStoreConfig(const StoreConfig& config);

// The store `localFile`'s settings choose: the file itself (sharing its connection) or the
// server, not yet connected. Never the file in place of the server.
std::unique_ptr<Store> openConfiguredStore(FileStore& localFile);

// The local file at a path opened with the store its settings choose, as the program opens them
// at start (zelkctl's commands): the local file keeps this desk's printers, the store the receipts.
struct DeskStores {
    explicit DeskStores(const QString& databasePath);
    ~DeskStores();
    std::unique_ptr<FileStore> localFile;
    std::unique_ptr<Store> store;
};

} // namespace zelk::store
