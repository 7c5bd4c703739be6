#include "cutproxy.h"

#include <QByteArray>

#include <chrono>
#include <cstring>
#include <vector>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace zelk::test {

namespace {

sockaddr_un address(const QString& path) {
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    const QByteArray bytes = path.toLocal8Bit();
    std::memcpy(a.sun_path, bytes.constData(),
                std::min(sizeof(a.sun_path) - 1, std::size_t(bytes.size())));
    return a;
}

struct Pair {
    int client;
    int server;
    bool cutting = false; // the COMMIT went on; the answer is held back until the cut
    std::chrono::steady_clock::time_point cutAt;
};

} // namespace

CutProxy::CutProxy(const QString& serverFolder)
    : target_(serverFolder + QStringLiteral("/.s.PGSQL.5432")) {
    listener_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const sockaddr_un a = address(dir_.filePath(QStringLiteral(".s.PGSQL.5432")));
    if (::bind(listener_, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(listener_, 16) != 0 || ::pipe(wake_) != 0)
        qFatal("the proxy's socket cannot be made");
    thread_ = std::thread([this] { run(); });
}

CutProxy::~CutProxy() {
    const char stop = 0;
    if (::write(wake_[1], &stop, 1) == 1)
        thread_.join();
    else
        thread_.detach();
    ::close(listener_);
    ::close(wake_[0]);
    ::close(wake_[1]);
}

QString CutProxy::conninfo(const QString& database) const {
    return QStringLiteral("host='%1' port=5432 user=test dbname='%2'").arg(dir_.path(), database);
}

void CutProxy::run() {
    std::vector<Pair> pairs;
    char buffer[65536];
    for (;;) {
        std::vector<pollfd> fds{{wake_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
        for (const Pair& p : pairs) {
            fds.push_back({p.client, POLLIN, 0});
            fds.push_back({p.server, POLLIN, 0});
        }
        ::poll(fds.data(), fds.size(), 50);
        if (fds[0].revents)
            break;
        if (fds[1].revents & POLLIN) {
            const int client = ::accept(listener_, nullptr, nullptr);
            const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
            const sockaddr_un a = address(target_);
            if (refusing_ || ::connect(server, reinterpret_cast<const sockaddr*>(&a), sizeof a)) {
                ::close(client);
                ::close(server);
            } else
                pairs.push_back({client, server, false, {}});
        }
        std::vector<Pair> kept;
        for (std::size_t i = 0; i < pairs.size(); ++i) {
            Pair p = pairs[i];
            bool open = true;
            // A pair accepted in this round was not polled yet.
            const bool polled = 3 + 2 * i < fds.size();
            const short fromClient = polled ? fds[2 + 2 * i].revents : 0;
            const short fromServer = polled ? fds[3 + 2 * i].revents : 0;
            if (fromClient) {
                const ssize_t n = ::read(p.client, buffer, sizeof buffer);
                open = n > 0 && ::write(p.server, buffer, std::size_t(n)) == n;
                // libpq sends the statement's text, NUL-ended, in its Parse message.
                if (open && armed_ &&
                    QByteArray::fromRawData(buffer, n).contains(QByteArray("commit", 7))) {
                    armed_ = false;
                    p.cutting = true;
                    p.cutAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
                }
            }
            if (open && fromServer) {
                const ssize_t n = ::read(p.server, buffer, sizeof buffer);
                open = n > 0 && (p.cutting || ::write(p.client, buffer, std::size_t(n)) == n);
            }
            if (open && p.cutting && std::chrono::steady_clock::now() >= p.cutAt) {
                open = false;
                if (refuseAfterCut_)
                    refusing_ = true;
                ++cuts_;
            }
            if (open)
                kept.push_back(p);
            else {
                ::close(p.client);
                ::close(p.server);
            }
        }
        pairs = kept;
    }
    for (const Pair& p : pairs) {
        ::close(p.client);
        ::close(p.server);
    }
}

} // namespace zelk::test
