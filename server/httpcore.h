// The HTTP front of the team server, on libmicrohttpd.
//
// Why libmicrohttpd and not QtHttpServer behind a QTcpServer of our own: QtHttpServer 6.4 reads a
// whole request into memory before anyone can look at it, writes answers into an unbounded socket
// buffer whether or not the peer reads, and runs every connection on one thread. Fixing that from
// outside means parsing HTTP ourselves in front of it. libmicrohttpd already enforces a per-
// connection memory limit while reading (so oversized headers never pile up), handles one request
// of a connection at a time (a peer that pipelines and never reads stalls only itself), has idle
// time-outs, an epoll thread pool and suspend/resume, so slow work can leave the I/O threads.
//
// Threads: one acceptor (it owns the listening socket, caps the open connections and waits out a
// shortage of file descriptors), a few I/O threads that parse requests and answer the cheap ones,
// a watchdog that closes connections whose request does not arrive in time (and hands parked
// requests back when their delay is over), and worker pools for work that must not hold an I/O
// thread: password hashing ("crypto"), decoding uploaded photos ("photo", one at a time) and
// database writes, cache rebuilds and heavy reads ("work").
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrlQuery>

#include <functional>
#include <memory>

struct HttpRequest {
    QByteArray method;
    QByteArray target;  // as sent: path and query, still percent-encoded
    QString path;
    QUrlQuery query;
    QList<QPair<QByteArray, QByteArray>> headers;  // names in lower case
    QByteArray body;
    QString peer;       // the client's address (the proxy's client when the proxy is trusted)
    int heldMs = 0;     // how long the request was deliberately held back before this run

    QByteArray header(const QByteArray &lowerName) const;
};

// Bytes in an anonymous memory file. A big answer kept in memory (the accounts of a large team)
// is sent from one with sendfile(), so the kernel takes the pages instead of a copy per request.
class MemFile {
public:
    static std::shared_ptr<const MemFile> from(const QByteArray &bytes);  // null if it cannot be made
    ~MemFile();
    // A descriptor of its own (own offset) for one response; the response closes it.
    int open() const;
    qint64 size() const { return m_size; }

private:
    int m_fd = -1;
    qint64 m_size = 0;
};

struct Reply {
    int status = 200;
    QByteArray body;
    QByteArray contentType = "application/json";
    QList<QPair<QByteArray, QByteArray>> headers;
    std::shared_ptr<const MemFile> file;  // when set, sent instead of `body` (the same bytes)
};

// Where a piece of work runs. A handler started on an I/O thread that needs more than a quick
// read throws Defer; the request is then parked and run again from the start on a pool. A handler
// on a pool may throw Defer with a delay: the request is parked that long (holding no thread) and
// run again from the start, with HttpRequest::heldMs telling it so. Photos are decoded on a lane
// of their own, one at a time, so that a costly image never takes the workers others need.
enum class Lane { Io, Work, Crypto, Photo, Other };
struct Defer {
    Lane lane;
    int delayMs = 0;
};
// The lane of the calling thread (Other for the main thread and anything not ours).
Lane currentLane();
// Throws Defer{lane} when called on an I/O thread; elsewhere returns at once.
void offload(Lane lane = Lane::Work);

struct HttpLimits {
    int maxConnections = 4096;
    // Open connections from one client address (a trusted proxy's count by the address it
    // forwards), so that one address cannot take every slot.
    int maxPerAddress = 256;
    // Idle time-out, and the time a request may take to arrive. Longer than the clients' 30-second
    // refresh, so that a polling client keeps its connection.
    int timeoutSeconds = 60;
    qint64 maxBody = 1024 * 1024;
    int maxHeaderBytes = 32 * 1024;  // request line and headers
    int ioThreads = 2;
    int workThreads = 4;
    int cryptoThreads = 2;
    int photoThreads = 1;
    QStringList trustedProxies;      // peers whose X-Forwarded-For names the client
};

class HttpService {
public:
    using Handler = std::function<Reply(HttpRequest &)>;

    HttpService();
    ~HttpService();
    HttpService(const HttpService &) = delete;
    HttpService &operator=(const HttpService &) = delete;

    // Binds and listens (port 0 picks one); nothing is accepted until start(). Returns the port,
    // or 0 with `error` set.
    quint16 listen(const QString &address, quint16 port, QString *error);
    bool start(const HttpLimits &limits, Handler handler, QString *error);
    void stop();

    int openConnections() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
