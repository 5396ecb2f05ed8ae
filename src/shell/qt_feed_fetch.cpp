#include "shell/qt_feed_fetch.hpp"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>
#include <QVariant>

#include <memory>

#include "shared/service_address.hpp"

namespace mivo {

void fetchFeed(QNetworkAccessManager& network, const std::string& url, FeedLimits limits,
               std::function<void(std::optional<std::string>)> done) {
    if (!isHttpsOrLoopbackHttp(url)) {
        // Answered on the loop like every other ending, never inside the call.
        QTimer::singleShot(0, &network, [done = std::move(done)] { done(std::nullopt); });
        return;
    }
    QNetworkRequest request(QUrl(QString::fromStdString(url)));
    request.setTransferTimeout(static_cast<int>(limits.idle.count()));
    // A redirect must meet the same rule as the address itself.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    QNetworkReply* reply = network.get(request);
    QObject::connect(reply, &QNetworkReply::redirected, reply, [reply](const QUrl& to) {
        if (isHttpsOrLoopbackHttp(to.toString(QUrl::FullyEncoded).toStdString()))
            emit reply->redirectAllowed();
        else
            reply->abort();
    });
    // The idle limit restarts with every byte; this one does not.
    auto* whole = new QTimer(reply);
    whole->setSingleShot(true);
    whole->setTimerType(Qt::PreciseTimer);
    QObject::connect(whole, &QTimer::timeout, reply, [reply] { reply->abort(); });
    whole->start(static_cast<int>(limits.total.count()));
    const auto limit = static_cast<qint64>(limits.maxBytes);
    // Qt reads from the socket only while its buffer has room, so the
    // answer never takes more than this in memory, whatever is sent.
    reply->setReadBufferSize(limit + 1);
    auto tooLarge = std::make_shared<bool>(false);
    auto stopIfTooLarge = [reply, limit, tooLarge] {
        if (*tooLarge)
            return;
        const QVariant announced = reply->header(QNetworkRequest::ContentLengthHeader);
        if (reply->bytesAvailable() > limit ||
            (announced.isValid() && announced.toLongLong() > limit)) {
            *tooLarge = true;
            reply->abort();
        }
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, stopIfTooLarge);
    QObject::connect(reply, &QNetworkReply::readyRead, reply, stopIfTooLarge);
    QObject::connect(
        reply, &QNetworkReply::finished, reply, [reply, limit, tooLarge, done = std::move(done)] {
            reply->deleteLater();
            const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            if (*tooLarge || reply->error() != QNetworkReply::NoError || status != 200 ||
                reply->bytesAvailable() > limit) {
                done(std::nullopt);
                return;
            }
            done(reply->readAll().toStdString());
        });
}

}  // namespace mivo
