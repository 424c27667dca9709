#include "httpcore.h"
#include "handover.h"

#include <QHash>
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

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
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
    // The client address this connection is counted under (guarded by connMutex): the peer's,
    // or for a trusted proxy the one its last request was forwarded for; empty when not counted.
    QString counted;
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
// Refusals of a request's head, written straight to the socket like kBusy and followed by the
// connection's close. A head that nearly fills the connection's memory leaves libmicrohttpd no
// room to build an answer; one whose length it cannot read gets a garbled answer of its own.
QByteArray closingRefusal(const char *statusLine, const char *error) {
    const QByteArray body = QByteArray(R"({"ok":false,"error":")") + error + "\"}";
    return QByteArray("HTTP/1.1 ") + statusLine + "\r\nContent-Type: application/json\r\nConnection: close\r\n"
           "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}
const QByteArray kBadFraming = closingRefusal("400 Bad Request", "Неверная длина запроса");
const QByteArray kHeadTooLarge = closingRefusal("431 Request Header Fields Too Large", "Слишком большие заголовки запроса");
// An oversized body up to this size is read and dropped before the refusal goes out, so that the
// client, still sending, does not lose the answer to a reset; a bigger one is cut off at once.
constexpr qint64 kDrainLimit = 8 * 1024 * 1024;

Reply refusal(int status, const char *error) {
    Reply r;
    r.status = status;
    r.body = QByteArray(R"({"ok":false,"error":")") + error + "\"}";
    return r;
}

// The bytes of the request line and headers as the client sent them, give or take the spaces
// around each value.
qsizetype headSize(const HttpRequest &req) {
    qsizetype n = req.method.size() + req.target.size() + 14;  // two spaces, "HTTP/1.1\r\n", the blank line
    for (const auto &h : req.headers) n += h.first.size() + h.second.size() + 4;
    return n;
}

// The body's length must be told one way only, and plainly: two different Content-Length values,
// or one beside Transfer-Encoding, would let a proxy in front of us and this server cut the
// stream into different requests (request smuggling). Such a request is refused before any
// handler sees it and its connection closed, since nothing after it can be trusted.
bool ambiguousFraming(const HttpRequest &req) {
    QByteArray length;
    bool chunked = false;
    for (const auto &[name, value] : req.headers) {
        if (name == "transfer-encoding") chunked = true;
        if (name != "content-length") continue;
        for (const QByteArray &part : value.split(',')) {
            const QByteArray v = part.trimmed();
            if (v.isEmpty() || v.size() > 18 || !std::all_of(v.begin(), v.end(), [](char ch) { return ch >= '0' && ch <= '9'; }))
                return true;
            if (!length.isNull() && v != length) return true;
            length = v;
        }
    }
    return chunked && !length.isNull();
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
    QThreadPool work, crypto, photo;
    std::thread acceptor, watchdog;
    std::atomic<bool> stopping{false};
    std::mutex connMutex;
    std::condition_variable connClosed;
    std::unordered_set<Conn *> conns;
    QHash<QString, int> perAddress;  // open connections by client address (under connMutex)
    std::mutex stopMutex;
    std::condition_variable stopWake;
    std::multimap<qint64, std::function<void()>> timers;  // parked requests by due time (under stopMutex)

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
    void runOnPool(MHD_Connection *c, RequestState *st, Lane lane, int delayMs);
    void release(const QString &address);
    bool recount(Conn *conn, const QString &client);
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
        // The acceptor counted it already; a trusted proxy's connections count per request.
        if (!self->limits.trustedProxies.contains(conn->address)) conn->counted = conn->address;
        return;
    }
    auto *conn = static_cast<Conn *>(*socketContext);
    if (!conn) return;
    {
        // The watchdog shuts sockets down under this lock; once the connection has left the set,
        // its descriptor may be closed and reused without the watchdog touching it.
        std::lock_guard lock(self->connMutex);
        self->conns.erase(conn);
        self->release(conn->counted);
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
    if (r.status != 304) MHD_add_response_header(resp, "Content-Type", r.contentType.constData());
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

void HttpService::Impl::release(const QString &address) {
    if (address.isEmpty()) return;
    const auto it = perAddress.find(address);
    if (it != perAddress.end() && --*it <= 0) perAddress.erase(it);
}

// Moves a trusted proxy's connection to the count of the client it now speaks for; false when
// that client already holds its share.
bool HttpService::Impl::recount(Conn *conn, const QString &client) {
    std::lock_guard lock(connMutex);
    if (conn->counted == client) return true;
    if (perAddress.value(client) >= limits.maxPerAddress) return false;
    release(conn->counted);
    ++perAddress[client];
    conn->counted = client;
    return true;
}

// Runs the parked request on a pool, at once or after `delayMs` (the connection stays suspended
// meanwhile and no thread waits for it).
void HttpService::Impl::runOnPool(MHD_Connection *c, RequestState *st, Lane lane, int delayMs) {
    if (lane != Lane::Crypto && lane != Lane::Photo) lane = Lane::Work;
    QThreadPool &pool = lane == Lane::Crypto ? crypto : lane == Lane::Photo ? photo : work;
    auto job = [this, st, c, lane] {
        t_lane = lane;
        try {
            st->reply = handler(st->req);
        } catch (const Defer &d) {
            if (d.delayMs > 0) {
                st->req.heldMs += d.delayMs;
                runOnPool(c, st, d.lane, d.delayMs);
                return;
            }
            // Only a handler on an I/O thread defers at once; reaching here is a bug, not a client's fault.
            st->reply = refusal(500, "Внутренняя ошибка сервера");
        }
        st->ready = true;
        MHD_resume_connection(c);
    };
    if (delayMs <= 0) {
        handover::start(pool, job);
        return;
    }
    std::lock_guard lock(stopMutex);
    timers.emplace(nowMs() + delayMs, [&pool, job] { handover::start(pool, job); });
    stopWake.notify_all();
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
        const MHD_ConnectionInfo *info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
        Conn *conn = info ? static_cast<Conn *>(info->socket_context) : nullptr;
        const bool badFraming = ambiguousFraming(st->req);
        if (badFraming || headSize(st->req) > self->limits.maxHeaderBytes) {
            st->answered = true;
            const QByteArray &answer = badFraming ? kBadFraming : kHeadTooLarge;
            if (conn && conn->fd >= 0) {
                ssize_t ignored = send(conn->fd, answer.constData(), size_t(answer.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
                (void)ignored;
            }
            return MHD_NO;  // closes the connection
        }
        // Behind a trusted proxy each request names its client, who gets the same share of
        // connections as one that comes directly.
        if (conn && self->limits.trustedProxies.contains(conn->address)) {
            const QString client = self->clientOf(st->req, conn->address);
            if (client != conn->address && !self->recount(conn, client)) {
                Reply busy = refusal(503, "Сервер занят, повтори позже");
                busy.headers.append(qMakePair(QByteArray("Retry-After"), QByteArray("1")));
                return self->queue(c, st, busy, true);
            }
        }
        // The declared size decides before a byte of the body is read (and before a client that
        // asked "Expect: 100-continue" is told to send it).
        const QByteArray declared = st->req.header("content-length");
        if (!declared.isEmpty()) {
            const qlonglong n = declared.split(',').first().trimmed().toLongLong();
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
        self->runOnPool(c, st, d.lane, d.delayMs);
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
            const QString address = QHostAddress(reinterpret_cast<const sockaddr *>(&addr)).toString();
            // A trusted proxy speaks for many clients: its connections count by the address each
            // request is forwarded for (see onAccess), not by its own.
            const bool counted = !limits.trustedProxies.contains(address);
            bool full;
            {
                std::lock_guard lock(connMutex);
                full = conns.size() >= std::size_t(limits.maxConnections) ||
                       (counted && perAddress.value(address) >= limits.maxPerAddress);
                if (!full && counted) ++perAddress[address];
            }
            if (full) {
                // Full: say so at once rather than leave the client hanging.
                ssize_t ignored = send(fd, kBusy.constData(), size_t(kBusy.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
                (void)ignored;
                ::close(fd);
                continue;
            }
            if (MHD_add_connection(daemon, fd, reinterpret_cast<sockaddr *>(&addr), len) != MHD_YES && counted) {
                // It closed the descriptor and never saw the connection start.
                std::lock_guard lock(connMutex);
                release(address);
            }
        }
    }
}

void HttpService::Impl::watchLoop() {
    const qint64 limitMs = qint64(limits.timeoutSeconds) * 1000;
    std::unique_lock wake(stopMutex);
    while (!stopping) {
        const qint64 next = timers.empty() ? nowMs() + 250 : std::min(nowMs() + 250, timers.begin()->first);
        stopWake.wait_for(wake, std::chrono::milliseconds(std::max<qint64>(1, next - nowMs())));
        const qint64 now = nowMs();
        while (!timers.empty() && timers.begin()->first <= now) {
            timers.begin()->second();  // only hands the request to its pool
            timers.erase(timers.begin());
        }
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
    d->photo.setMaxThreadCount(std::max(1, limits.photoThreads));
    d->photo.setExpiryTimeout(-1);
    const unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME |
                           MHD_USE_NO_LISTEN_SOCKET | MHD_USE_TURBO;
    d->daemon = MHD_start_daemon(
        flags, 0, nullptr, nullptr, &Impl::onAccess, d.get(),
        MHD_OPTION_THREAD_POOL_SIZE, unsigned(std::max(1, limits.ioThreads)),
        // The acceptor enforces the cap (and answers 503 past it); this only keeps MHD out of the way.
        MHD_OPTION_CONNECTION_LIMIT, unsigned(limits.maxConnections + 64),
        MHD_OPTION_CONNECTION_TIMEOUT, unsigned(limits.timeoutSeconds),
        // The request line and headers are read into the connection's memory as they come; past
        // twice the limit libmicrohttpd answers 431 itself, below it onAccess does.
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
    // Parked requests run now: their connections must be resumed before the daemon stops.
    for (auto &[due, start] : d->timers) start();
    d->timers.clear();
    d->work.waitForDone();
    d->crypto.waitForDone();
    d->photo.waitForDone();
    MHD_stop_daemon(d->daemon);
    d->daemon = nullptr;
    if (d->listenFd >= 0) ::close(d->listenFd);
    d->listenFd = -1;
}

int HttpService::openConnections() const {
    std::lock_guard lock(d->connMutex);
    return int(d->conns.size());
}
