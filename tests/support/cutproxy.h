#pragma once

#include <QString>
#include <QTemporaryDir>

#include <atomic>
#include <thread>

namespace zelk::test {

// A go-between on a Unix socket of its own that passes every connection on to a PostgreSQL
// server's socket, and on request cuts a connection right after passing a COMMIT on: the
// server commits, the client never hears it. Optionally it then refuses new connections, as a
// server that cannot be reached would.
class CutProxy {
public:
    // `serverFolder`: the folder holding the server's socket for port 5432.
    explicit CutProxy(const QString& serverFolder);
    ~CutProxy();
    CutProxy(const CutProxy&) = delete;
    CutProxy& operator=(const CutProxy&) = delete;

    QString conninfo(const QString& database) const;
    void cutAfterCommit(bool refuseAfter) {
        refuseAfterCut_ = refuseAfter;
        armed_ = true;
    }
    void allow() { refusing_ = false; }
    bool cut() const { return cuts_ > 0; }

private:
    void run();

    QTemporaryDir dir_;
    QString target_;
    int listener_ = -1;
    int wake_[2] = {-1, -1};
    std::atomic<bool> armed_ = false;
    std::atomic<bool> refuseAfterCut_ = false;
    std::atomic<bool> refusing_ = false;
    std::atomic<int> cuts_ = 0;
    std::thread thread_;
};

} // namespace zelk::test
