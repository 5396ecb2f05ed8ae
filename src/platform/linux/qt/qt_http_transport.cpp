#include "platform/linux/qt/qt_http_transport.hpp"

#include <sys/socket.h>
#include <unistd.h>
#include <QSslCertificate>
#include <QSslError>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/linux/http_wire.hpp"
#include "platform/linux/socket_owner.hpp"

namespace mivo::linux_desktop {

namespace {

struct Flight {
    HttpTransport::Completion completion;
    std::unique_ptr<QTcpSocket> socket;
    std::unique_ptr<QTimer> idleTimer;
    std::unique_ptr<QTimer> totalTimer;
    std::optional<HttpResponseReader> reader;
    QByteArray outgoing;
    bool callerCancelled = false;
    bool finished = false;
};

HttpFailure failure(HttpFailureKind kind, int code, std::string detail) {
    return HttpFailure{kind, code, std::move(detail)};
}

int milliseconds(double seconds) {
    return static_cast<int>(std::clamp(seconds * 1000.0, 1.0, 2'000'000'000.0));
}

// The request line's target exactly as the address writes it: no merging of
// slashes, no resolving of dots.
std::string targetOf(const QUrl& url) {
    std::string target = url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority |
                                       QUrl::RemoveFragment | QUrl::FullyEncoded)
                             .toStdString();
    if (target.empty() || target.front() != '/')
        target.insert(0, "/");
    return target;
}

std::string hostHeaderOf(const QUrl& url) {
    std::string host = url.host(QUrl::FullyEncoded).toStdString();
    if (host.find(':') != std::string::npos)
        host = "[" + host + "]";
    if (url.port() != -1)
        host += ":" + std::to_string(url.port());
    return host;
}

std::string joined(const QStringList& names) {
    return names.isEmpty() ? std::string("(no name)") : names.join(", ").toStdString();
}

// A certificate this machine does not trust, named for the user: whose it
// is, who issued it and why it is not trusted.
std::optional<HttpFailure> certificateFailure(const QTcpSocket& socket, int code) {
    const auto* secure = qobject_cast<const QSslSocket*>(&socket);
    if (secure == nullptr || socket.error() != QAbstractSocket::SslHandshakeFailedError)
        return std::nullopt;
    const QList<QSslError> errors = secure->sslHandshakeErrors();
    if (errors.isEmpty())
        return std::nullopt;
    const QSslError first = errors.first();
    const QSslCertificate certificate =
        first.certificate().isNull() ? secure->peerCertificate() : first.certificate();
    if (certificate.isNull())
        return failure(
            HttpFailureKind::untrustedCertificate, code,
            "the server's certificate is not trusted: " + first.errorString().toStdString());
    return failure(HttpFailureKind::untrustedCertificate, code,
                   "the certificate \u201C" +
                       joined(certificate.subjectInfo(QSslCertificate::CommonName)) +
                       "\u201D issued by \u201C" +
                       joined(certificate.issuerInfo(QSslCertificate::CommonName)) +
                       "\u201D is not trusted: " + first.errorString().toStdString());
}

HttpFailure socketFailure(const QTcpSocket& socket) {
    const auto error = socket.error();
    const int code = static_cast<int>(error);
    if (auto untrusted = certificateFailure(socket, code))
        return *untrusted;
    std::string detail = socket.errorString().toStdString();
    switch (error) {
        case QAbstractSocket::ConnectionRefusedError: {
            HttpFailure refused = failure(HttpFailureKind::offline, code, std::move(detail));
            refused.refused = true;
            return refused;
        }
        case QAbstractSocket::RemoteHostClosedError:
        case QAbstractSocket::HostNotFoundError:
        case QAbstractSocket::NetworkError:
            return failure(HttpFailureKind::offline, code, std::move(detail));
        case QAbstractSocket::SocketTimeoutError:
            return failure(HttpFailureKind::timeout, code, std::move(detail));
        default:
            return failure(HttpFailureKind::other, code, std::move(detail));
    }
}

// Plain http to a loopback address goes only to a program of this user's:
// any user of the machine may listen on a loopback address, on a port the
// user's own service left, and would read the tokens. Asked once connected,
// before a byte is written, of the listener at the very address and port the
// connection reached, however the address was spelled.
std::optional<HttpFailure> notTheUsersListener(const QTcpSocket& socket) {
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    if (::getpeername(static_cast<int>(socket.socketDescriptor()),
                      reinterpret_cast<sockaddr*>(&peer), &length) != 0)
        return failure(HttpFailureKind::offline, 0, "the connection closed before the request");
    if (!isLoopback(peer))
        return std::nullopt;
    const std::string where = "http://" + endpointText(peer);
    const auto owner = listenerOwner(peer);
    // The overflow user stands for every user this namespace does not map:
    // whoever it is, it is not this user.
    if (!owner && owner.error() != OwnerUnknown::overflowUser) {
        HttpFailure unknown = failure(HttpFailureKind::foreignListener, 0,
                                      "Mivo could not tell whose program answers at " + where +
                                          " (" + describe(owner.error()) + ")");
        unknown.ownerUnknown = true;
        return unknown;
    }
    if (owner && *owner == kNoOne)
        return failure(HttpFailureKind::offline, 0, "nothing listens at " + where + " any more");
    if (!owner || *owner != ::geteuid())
        return failure(HttpFailureKind::foreignListener, 0,
                       "another program, not yours, answers at " + where);
    return std::nullopt;
}

}  // namespace

struct QtHttpTransport::Impl {
    // Receiver of the queued completions: gone first at destruction, so no
    // completion runs for a transport that no longer exists.
    std::unique_ptr<QObject> deliveries = std::make_unique<QObject>();
    std::vector<std::shared_ptr<Flight>> flights;

    void connectSocket(const std::shared_ptr<Flight>& flight, const QUrl& url);
    void watchTime(const std::shared_ptr<Flight>& flight, const HttpRequest& request);
    void received(const std::shared_ptr<Flight>& flight);
    void ended(const std::shared_ptr<Flight>& flight);
    void finish(const std::shared_ptr<Flight>& flight, HttpResult result);
};

void QtHttpTransport::Impl::finish(const std::shared_ptr<Flight>& flight, HttpResult result) {
    if (flight->finished)
        return;
    flight->finished = true;
    flight->idleTimer.reset();
    flight->totalTimer.reset();
    if (flight->socket) {
        // We may be inside one of the socket's own signals: silence it, close
        // it, and let the loop delete it.
        QTcpSocket* socket = flight->socket.release();
        socket->disconnect();
        socket->abort();
        socket->deleteLater();
    }
    QMetaObject::invokeMethod(
        deliveries.get(),
        [this, flight, result = std::move(result)]() mutable {
            std::erase(flights, flight);
            // A cancel that came after the answer but before this turn still
            // wins: the caller has stopped caring about the answer.
            if (flight->callerCancelled)
                result = std::unexpected(failure(HttpFailureKind::cancelled, 0, "cancelled"));
            auto completion = std::move(flight->completion);
            flight->completion = nullptr;
            if (completion)
                completion(std::move(result));
        },
        Qt::QueuedConnection);
}

void QtHttpTransport::Impl::received(const std::shared_ptr<Flight>& flight) {
    if (flight->finished)
        return;
    if (flight->idleTimer)
        flight->idleTimer->start();
    const QByteArray bytes = flight->socket->readAll();
    switch (flight->reader->feed(std::string_view(bytes.constData(), bytes.size()))) {
        case HttpResponseReader::State::complete:
            return finish(flight, flight->reader->response());
        case HttpResponseReader::State::malformed:
            return finish(flight, std::unexpected(failure(HttpFailureKind::other, 0,
                                                          "malformed or oversized answer")));
        case HttpResponseReader::State::incomplete:
            return;
    }
}

// The connection ended (closed by the server or broken) before the reader had
// a whole answer.
void QtHttpTransport::Impl::ended(const std::shared_ptr<Flight>& flight) {
    if (flight->finished)
        return;
    received(flight);
    if (flight->finished)
        return;
    const HttpFailure broken = socketFailure(*flight->socket);
    if (broken.kind == HttpFailureKind::offline) {
        switch (flight->reader->closed()) {
            case HttpResponseReader::State::complete:
                return finish(flight, flight->reader->response());
            case HttpResponseReader::State::malformed:
                return finish(flight, std::unexpected(
                                          failure(HttpFailureKind::other, 0, "malformed answer")));
            case HttpResponseReader::State::incomplete:
                // Closed before or in the middle of the answer: the
                // connection was lost.
                return finish(flight, std::unexpected(broken));
        }
    }
    finish(flight, std::unexpected(broken));
}

void QtHttpTransport::Impl::connectSocket(const std::shared_ptr<Flight>& flight, const QUrl& url) {
    const std::weak_ptr<Flight> weak = flight;
    auto with = [weak](auto step) {
        return [weak, step] {
            if (auto f = weak.lock())
                step(f);
        };
    };
    QTcpSocket* socket = flight->socket.get();
    auto write = with([](const std::shared_ptr<Flight>& f) { f->socket->write(f->outgoing); });
    const bool secure = url.scheme() == "https";
    if (secure)
        QObject::connect(static_cast<QSslSocket*>(socket), &QSslSocket::encrypted, write);
    else
        QObject::connect(socket, &QTcpSocket::connected,
                         with([this](const std::shared_ptr<Flight>& f) {
                             if (auto refused = notTheUsersListener(*f->socket))
                                 return finish(f, std::unexpected(std::move(*refused)));
                             f->socket->write(f->outgoing);
                         }));
    QObject::connect(socket, &QTcpSocket::bytesWritten, with([](const std::shared_ptr<Flight>& f) {
                         if (f->idleTimer)
                             f->idleTimer->start();
                     }));
    QObject::connect(socket, &QTcpSocket::readyRead,
                     with([this](const std::shared_ptr<Flight>& f) { received(f); }));
    QObject::connect(socket, &QTcpSocket::errorOccurred,
                     with([this](const std::shared_ptr<Flight>& f) { ended(f); }));
    QObject::connect(socket, &QTcpSocket::disconnected,
                     with([this](const std::shared_ptr<Flight>& f) { ended(f); }));
    const QString host = url.host();
    if (secure) {
        static_cast<QSslSocket*>(socket)->connectToHostEncrypted(
            host, static_cast<quint16>(url.port(443)));
    } else {
        socket->connectToHost(host, static_cast<quint16>(url.port(80)));
    }
}

void QtHttpTransport::Impl::watchTime(const std::shared_ptr<Flight>& flight,
                                      const HttpRequest& request) {
    const std::weak_ptr<Flight> weak = flight;
    auto stopForTime = [this, weak] {
        if (auto f = weak.lock()) {
            finish(f, std::unexpected(failure(HttpFailureKind::timeout, 0, "time limit reached")));
        }
    };
    auto timer = [&](double seconds) {
        auto t = std::make_unique<QTimer>();
        t->setSingleShot(true);
        // A coarse timer may fire 5 % early; a limit is a limit.
        t->setTimerType(Qt::PreciseTimer);
        t->setInterval(milliseconds(seconds));
        QObject::connect(t.get(), &QTimer::timeout, stopForTime);
        t->start();
        return t;
    };
    if (request.totalTimeoutSeconds > 0)
        flight->totalTimer = timer(request.totalTimeoutSeconds);
    if (request.idleTimeoutSeconds > 0)
        flight->idleTimer = timer(request.idleTimeoutSeconds);
}

QtHttpTransport::QtHttpTransport() : impl_(std::make_unique<Impl>()) {}

QtHttpTransport::~QtHttpTransport() {
    impl_->deliveries.reset();
    for (const auto& flight : impl_->flights) {
        flight->completion = nullptr;
        flight->finished = true;
        flight->idleTimer.reset();
        flight->totalTimer.reset();
        if (flight->socket) {
            flight->socket->disconnect();
            flight->socket->abort();
        }
    }
}

Cancel QtHttpTransport::send(HttpRequest request, Completion completion) {
    auto flight = std::make_shared<Flight>();
    flight->completion = std::move(completion);
    impl_->flights.push_back(flight);
    const std::weak_ptr<Flight> weak = flight;
    Cancel handle([impl = impl_.get(), weak] {
        if (auto f = weak.lock()) {
            f->callerCancelled = true;
            impl->finish(f, std::unexpected(failure(HttpFailureKind::cancelled, 0, "cancelled")));
        }
    });

    const QUrl url(QString::fromStdString(request.url));
    const QString scheme = url.scheme();
    if (!url.isValid() || (scheme != "http" && scheme != "https") || url.host().isEmpty()) {
        impl_->finish(flight, std::unexpected(failure(HttpFailureKind::other, 0,
                                                      "not an HTTP address: " + request.url)));
        return handle;
    }
    auto bytes = encodeRequest(request, hostHeaderOf(url), targetOf(url));
    if (!bytes) {
        impl_->finish(flight, std::unexpected(failure(HttpFailureKind::other, 0,
                                                      "a header holds a line break")));
        return handle;
    }
    if (scheme == "https" && !QSslSocket::supportsSsl()) {
        impl_->finish(flight, std::unexpected(
                                  failure(HttpFailureKind::other, 0, "no TLS support for https")));
        return handle;
    }
    flight->outgoing = QByteArray::fromStdString(*bytes);
    flight->reader.emplace(request.method == "HEAD", request.maxAnswerBytes);
    flight->socket =
        scheme == "https" ? std::make_unique<QSslSocket>() : std::make_unique<QTcpSocket>();
    impl_->watchTime(flight, request);
    impl_->connectSocket(flight, url);
    return handle;
}

std::size_t QtHttpTransport::inFlightCount() const {
    return impl_->flights.size();
}

}  // namespace mivo::linux_desktop
