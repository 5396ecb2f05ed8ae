#include "app/qt_feed_fetch.hpp"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>
#include <QVariant>

#include <memory>

namespace mivo {

void fetchFeed(QNetworkAccessManager& network, const std::string& url, std::size_t maxBytes,
               std::chrono::milliseconds timeout,
               std::function<void(std::optional<std::string>)> done) {
    QNetworkRequest request(QUrl(QString::fromStdString(url)));
    request.setTransferTimeout(static_cast<int>(timeout.count()));
    QNetworkReply* reply = network.get(request);
    const auto limit = static_cast<qint64>(maxBytes);
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
