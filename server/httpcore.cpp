#include "httpcore.h"

#include <QHostAddress>
#include <QThreadPool>
#include <QUrl>

#include <microhttpd.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <unordered_set>

namespace {

thread_local Lane t_lane = Lane::Other;

qint64 nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// One open connection, as the watchdog sees it.
struct Conn {
    int fd = -1;
    QString address;
    // When the connection started waiting for the request it is reading (ms); 0 while a request
    // is being answered. A request that has not fully arrived within the time-out is cut off.
    std::atomic<qint64> waitingSince{0};
};

struct RequestState {
    HttpRequest req;
    Reply reply;
    bool started = false;
    bool tooLarge = false;   // the body is being dropped; 413 when it ends
    qint64 dropped = 0;
    bool answered = false;
    std::atomic<bool> ready{false};
};

const char kBusyBody[] = R"({"ok":false,"error":"Сервер занят, повтори позже"})";
const QByteArray kBusy = QByteArray("HTTP/1.1 503 Service Unavailable\r\nContent-Type: application/json\r\n"
                                    "Retry-After: 1\r\nConnection: close\r\nContent-Length: ") +
                         QByteArray::number(qsizetype(sizeof kBusyBody - 1)) + "\r\n\r\n" + kBusyBody;
const char kTooLarge[] = "Слишком большой запрос";
// An oversized body up to this size is read and dropped before the refusal goes out, so that the
// client, still sending, does not lose the answer to a reset; a bigger one is cut off at once.
constexpr qint64 kDrainLimit = 8 * 1024 * 1024;

Reply refusal(int status, const char *error) {
    Reply r;
    r.status = status;
    r.body = QByteArray(R"({"ok":false,"error":")") + error + "\"}";
    return r;
}

} // namespace

Lane currentLane() { return t_lane; }

void offload(Lane lane) {
    if (t_lane == Lane::Io) throw Defer{lane};
}

std::shared_ptr<const MemFile> MemFile::from(const QByteArray &bytes) {
    const int fd = memfd_create("answer", MFD_CLOEXEC);
    if (fd < 0) return nullptr;
    auto file = std::make_shared<MemFile>();
    file->m_fd = fd;
    file->m_size = bytes.size();
    for (qint64 done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0) return nullptr;
        done += n;
    }
    return file;
}

MemFile::~MemFile() {
    if (m_fd >= 0) ::close(m_fd);
}

int MemFile::open() const {
    return ::open(QByteArray("/proc/self/fd/" + QByteArray::number(m_fd)).constData(), O_RDONLY | O_CLOEXEC);
}

QByteArray HttpRequest::header(const QByteArray &lowerName) const {
    for (const auto &h : headers)
        if (h.first == lowerName) return h.second;
    return {};
}

struct HttpService::Impl {
    int listenFd = -1;
    MHD_Daemon *daemon = nullptr;
    HttpLimits limits;
    Handler handler;
    QThreadPool work, crypto;
    std::thread acceptor, watchdog;
    std::atomic<bool> stopping{false};
    std::mutex connMutex;
    std::condition_variable connClosed;
    std::unordered_set<Conn *> conns;
    std::mutex stopMutex;
    std::condition_variable stopWake;

    static void *onUri(void *cls, const char *uri, MHD_Connection *c);
    static MHD_Result onAccess(void *cls, MHD_Connection *c, const char *url, const char *method,
                               const char *version, const char *upload, size_t *uploadSize, void **state);
    static void onCompleted(void *cls, MHD_Connection *c, void **state, MHD_RequestTerminationCode);
    static void onConnection(void *cls, MHD_Connection *c, void **socketContext,
                             MHD_ConnectionNotificationCode code);
    void acceptLoop();
    void watchLoop();
    MHD_Result queue(MHD_Connection *c, RequestState *st, const Reply &r, bool close = false);
    QString clientOf(const HttpRequest &req, const QString &peer) const;
    Reply run(HttpRequest &req);
};

void *HttpService::Impl::onUri(void *, const char *uri, MHD_Connection *) {
    auto *st = new RequestState;
    st->req.target = QByteArray(uri);
    return st;
}

void HttpService::Impl::onConnection(void *cls, MHD_Connection *c, void **socketContext,
                                     MHD_ConnectionNotificationCode code) {
    auto *self = static_cast<Impl *>(cls);
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
        auto *conn = new Conn;
        if (const MHD_ConnectionInfo *fd = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CONNECTION_FD))
            conn->fd = fd->connect_fd;
        if (const MHD_ConnectionInfo *a = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CLIENT_ADDRESS))
            conn->address = QHostAddress(a->client_addr).toString();
        conn->waitingSince = nowMs();
        *socketContext = conn;
        std::lock_guard lock(self->connMutex);
        self->conns.insert(conn);
        return;
    }
    auto *conn = static_cast<Conn *>(*socketContext);
    if (!conn) return;
    {
        // The watchdog shuts sockets down under this lock; once the connection has left the set,
        // its descriptor may be closed and reused without the watchdog touching it.
        std::lock_guard lock(self->connMutex);
        self->conns.erase(conn);
    }
    self->connClosed.notify_all();
    *socketContext = nullptr;
    delete conn;
}

void HttpService::Impl::onCompleted(void *, MHD_Connection *c, void **state, MHD_RequestTerminationCode) {
    delete static_cast<RequestState *>(*state);
    *state = nullptr;
    if (const MHD_ConnectionInfo *i = MHD_get_connection_info(c, MHD_CONNECTION_INFO_SOCKET_CONTEXT))
        if (auto *conn = static_cast<Conn *>(i->socket_context)) conn->waitingSince = nowMs();
}

MHD_Result HttpService::Impl::queue(MHD_Connection *c, RequestState *st, const Reply &r, bool close) {
    if (st) st->answered = true;
    MHD_Response *resp = nullptr;
    if (const int fd = r.file ? r.file->open() : -1; fd >= 0) {
        resp = MHD_create_response_from_fd64(uint64_t(r.file->size()), fd);  // closes fd when done
        if (!resp) ::close(fd);
    }
    if (!resp) {
        // The body is handed over without a copy: the response keeps its own reference to the
        // (implicitly shared) bytes, so a cached answer of several megabytes is never duplicated.
        auto *body = new QByteArray(r.body);
        resp = MHD_create_response_from_buffer_with_free_callback_cls(
            size_t(body->size()), const_cast<char *>(body->constData()),
            [](void *p) { delete static_cast<QByteArray *>(p); }, body);
        if (!resp) {
            delete body;
            return MHD_NO;
        }
    }
    MHD_add_response_header(resp, "Content-Type", r.contentType.constData());
    MHD_add_response_header(resp, "Cache-Control", "no-store");
    MHD_add_response_header(resp, "X-Content-Type-Options", "nosniff");
    for (const auto &h : r.headers) MHD_add_response_header(resp, h.first.constData(), h.second.constData());
    if (close) MHD_add_response_header(resp, "Connection", "close");
    const MHD_Result ok = MHD_queue_response(c, unsigned(r.status), resp);
    MHD_destroy_response(resp);
    return ok;
}

QString HttpService::Impl::clientOf(const HttpRequest &req, const QString &peer) const {
    if (limits.trustedProxies.isEmpty() || !limits.trustedProxies.contains(peer)) return peer;
    // The proxy appends the address it saw; anything before it was sent by the client itself.
    const QByteArray forwarded = req.header("x-forwarded-for");
    const QByteArray last = forwarded.split(',').last().trimmed();
    QHostAddress a;
    return !last.isEmpty() && a.setAddress(QString::fromLatin1(last)) ? a.toString() : peer;
}

Reply HttpService::Impl::run(HttpRequest &req) {
    try {
        return handler(req);
    } catch (const Defer &) {
        // Only a handler on an I/O thread defers; reaching here is a bug, not a client's fault.
        return refusal(500, "Внутренняя ошибка сервера");
    }
}

MHD_Result HttpService::Impl::onAccess(void *cls, MHD_Connection *c, const char *, const char *method,
                                       const char *, const char *upload, size_t *uploadSize, void **state) {
    auto *self = static_cast<Impl *>(cls);
    t_lane = Lane::Io;
    auto *st = static_cast<RequestState *>(*state);
    if (!st) {
        st = new RequestState;
        *state = st;
    }
    if (st->answered) {
        // A refusal went out early; swallow the rest of the upload.
        *uploadSize = 0;
        return MHD_YES;
    }
    if (!st->started) {
        st->started = true;
        st->req.method = QByteArray(method);
        MHD_get_connection_values(
            c, MHD_HEADER_KIND,
            [](void *list, MHD_ValueKind, const char *key, const char *value) -> MHD_Result {
                static_cast<HttpRequest *>(list)->headers.append(
                    {QByteArray(key).toLower(), QByteArray(value ? value : "").trimmed()});
                return MHD_YES;
            },
            &st->req);
        // The declared size decides before a byte of the body is read (and before a client that
        // asked "Expect: 100-continue" is told to send it).
        const QByteArray declared = st->req.header("content-length");
        if (!declared.isEmpty()) {
            bool ok = false;
            const qlonglong n = declared.toLongLong(&ok);
            if (!ok || n < 0) return self->queue(c, st, refusal(400, "Неверный Content-Length"), true);
            if (n > self->limits.maxBody) {
                if (n > kDrainLimit || !st->req.header("expect").isEmpty())
                    return self->queue(c, st, refusal(413, kTooLarge), true);
                st->tooLarge = true;
            }
        }
        return MHD_YES;
    }
    if (*uploadSize > 0) {
        // A body without a declared length (chunked) is counted as it comes.
        const qint64 n = qint64(*uploadSize);
        *uploadSize = 0;
        if (!st->tooLarge && st->req.body.size() + n > self->limits.maxBody) {
            st->tooLarge = true;
            st->dropped = st->req.body.size();
            st->req.body.clear();
            st->req.body.squeeze();
        }
        if (st->tooLarge) {
            st->dropped += n;
            if (st->dropped > kDrainLimit) return self->queue(c, st, refusal(413, kTooLarge), true);
            return MHD_YES;
        }
        st->req.body.append(upload, qsizetype(n));
        return MHD_YES;
    }
    if (st->tooLarge) return self->queue(c, st, refusal(413, kTooLarge), true);
    if (st->ready) return self->queue(c, st, st->reply);

    // The whole request is in: it is no longer the watchdog's business.
    const MHD_ConnectionInfo *info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    Conn *conn = info ? static_cast<Conn *>(info->socket_context) : nullptr;
    if (conn) conn->waitingSince = 0;

    const QUrl url = QUrl::fromEncoded(st->req.target);
    st->req.path = url.path();
    st->req.query = QUrlQuery(url);
    st->req.peer = self->clientOf(st->req, conn ? conn->address : QString());
    try {
        const Reply r = self->handler(st->req);
        return self->queue(c, st, r);
    } catch (const Defer &d) {
        MHD_suspend_connection(c);
        QThreadPool &pool = d.lane == Lane::Crypto ? self->crypto : self->work;
        const Lane lane = d.lane == Lane::Crypto ? Lane::Crypto : Lane::Work;
        pool.start([self, st, c, lane] {
            t_lane = lane;
            st->reply = self->run(st->req);
            st->ready = true;
            MHD_resume_connection(c);
        });
        return MHD_YES;
    }
}

void HttpService::Impl::acceptLoop() {
    while (!stopping) {
        pollfd p{listenFd, POLLIN, 0};
        if (poll(&p, 1, 200) <= 0 || !(p.revents & POLLIN)) continue;
        for (;;) {
            sockaddr_storage addr{};
            socklen_t len = sizeof addr;
            const int fd = accept4(listenFd, reinterpret_cast<sockaddr *>(&addr), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd < 0) {
                if (errno == EINTR || errno == ECONNABORTED) continue;
                if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                    // Out of descriptors: the queue waits in the kernel's backlog until a
                    // connection closes (or a moment passes), then accepting resumes.
                    std::unique_lock lock(connMutex);
                    connClosed.wait_for(lock, std::chrono::milliseconds(100));
                }
                break;
            }
            std::size_t open;
            {
                std::lock_guard lock(connMutex);
                open = conns.size();
            }
            if (open >= std::size_t(limits.maxConnections)) {
                // Full: say so at once rather than leave the client hanging.
                ssize_t ignored = send(fd, kBusy.constData(), size_t(kBusy.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
                (void)ignored;
                ::close(fd);
                continue;
            }
            MHD_add_connection(daemon, fd, reinterpret_cast<sockaddr *>(&addr), len);  // closes fd on failure
        }
    }
}

void HttpService::Impl::watchLoop() {
    const qint64 limitMs = qint64(limits.timeoutSeconds) * 1000;
    std::unique_lock wake(stopMutex);
    while (!stopping) {
        stopWake.wait_for(wake, std::chrono::milliseconds(250));
        const qint64 now = nowMs();
        std::lock_guard lock(connMutex);
        for (Conn *conn : conns) {
            const qint64 since = conn->waitingSince;
            if (since > 0 && now - since > limitMs && conn->fd >= 0) {
                // A request that trickles in (a header line a byte at a time) never trips the
                // idle time-out; this cuts it off. The I/O thread then sees the socket close.
                conn->waitingSince = 0;
                ::shutdown(conn->fd, SHUT_RDWR);
            }
        }
    }
}

HttpService::HttpService() : d(std::make_unique<Impl>()) {}

HttpService::~HttpService() { stop(); }

quint16 HttpService::listen(const QString &address, quint16 port, QString *error) {
    QHostAddress host;
    if (!host.setAddress(address)) {
        *error = QStringLiteral("not an IP address: ") + address;
        return 0;
    }
    sockaddr_storage ss{};
    socklen_t len = 0;
    const bool v6 = host.protocol() == QAbstractSocket::IPv6Protocol;
    if (v6) {
        auto *a = reinterpret_cast<sockaddr_in6 *>(&ss);
        a->sin6_family = AF_INET6;
        a->sin6_port = htons(port);
        const Q_IPV6ADDR raw = host.toIPv6Address();
        std::memcpy(&a->sin6_addr, &raw, sizeof raw);
        len = sizeof *a;
    } else {
        auto *a = reinterpret_cast<sockaddr_in *>(&ss);
        a->sin_family = AF_INET;
        a->sin_port = htons(port);
        a->sin_addr.s_addr = htonl(host.toIPv4Address());
        len = sizeof *a;
    }
    const int fd = socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = QString::fromLocal8Bit(strerror(errno));
        return 0;
    }
    const int one = 1, zero = 0;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (v6 && host == QHostAddress::AnyIPv6) setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &zero, sizeof zero);
    if (bind(fd, reinterpret_cast<sockaddr *>(&ss), len) != 0 || ::listen(fd, 4096) != 0) {
        *error = QString::fromLocal8Bit(strerror(errno));
        ::close(fd);
        return 0;
    }
    if (getsockname(fd, reinterpret_cast<sockaddr *>(&ss), &len) != 0) {
        *error = QString::fromLocal8Bit(strerror(errno));
        ::close(fd);
        return 0;
    }
    d->listenFd = fd;
    return v6 ? ntohs(reinterpret_cast<sockaddr_in6 *>(&ss)->sin6_port)
              : ntohs(reinterpret_cast<sockaddr_in *>(&ss)->sin_port);
}

bool HttpService::start(const HttpLimits &limits, Handler handler, QString *error) {
    d->limits = limits;
    d->handler = std::move(handler);
    d->work.setMaxThreadCount(std::max(1, limits.workThreads));
    d->work.setExpiryTimeout(-1);  // threads keep their database connections
    d->crypto.setMaxThreadCount(std::max(1, limits.cryptoThreads));
    d->crypto.setExpiryTimeout(-1);
    const unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME |
                           MHD_USE_NO_LISTEN_SOCKET | MHD_USE_TURBO;
    d->daemon = MHD_start_daemon(
        flags, 0, nullptr, nullptr, &Impl::onAccess, d.get(),
        MHD_OPTION_THREAD_POOL_SIZE, unsigned(std::max(1, limits.ioThreads)),
        // The acceptor enforces the cap (and answers 503 past it); this only keeps MHD out of the way.
        MHD_OPTION_CONNECTION_LIMIT, unsigned(limits.maxConnections + 64),
        MHD_OPTION_CONNECTION_TIMEOUT, unsigned(limits.timeoutSeconds),
        // The request line and headers must fit the connection's buffer, read as it comes.
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, size_t(limits.maxHeaderBytes) * 2,
        MHD_OPTION_URI_LOG_CALLBACK, &Impl::onUri, d.get(),
        MHD_OPTION_NOTIFY_COMPLETED, &Impl::onCompleted, d.get(),
        MHD_OPTION_NOTIFY_CONNECTION, &Impl::onConnection, d.get(),
        MHD_OPTION_END);
    if (!d->daemon) {
        *error = QStringLiteral("cannot start the HTTP service");
        return false;
    }
    d->acceptor = std::thread([this] { d->acceptLoop(); });
    d->watchdog = std::thread([this] { d->watchLoop(); });
    return true;
}

void HttpService::stop() {
    if (!d->daemon) return;
    d->stopping = true;
    d->stopWake.notify_all();
    if (d->acceptor.joinable()) d->acceptor.join();
    if (d->watchdog.joinable()) d->watchdog.join();
    d->work.waitForDone();
    d->crypto.waitForDone();
    MHD_stop_daemon(d->daemon);
    d->daemon = nullptr;
    if (d->listenFd >= 0) ::close(d->listenFd);
    d->listenFd = -1;
}

int HttpService::openConnections() const {
    std::lock_guard lock(d->connMutex);
    return int(d->conns.size());
}
