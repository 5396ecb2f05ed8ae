#include "account/auth_url.hpp"

#include "shared/service_address.hpp"

namespace mivo {
bool isAcceptableAuthURL(std::string_view url) {
    return isHttpsOrLoopbackHttp(url);
}

namespace {

std::string unreachable(const MivoAPIClient::APIError& error, std::string_view baseURL) {
    const HttpFailure& failure = error.transportFailure;
    const std::string server =
        baseURL.empty() ? "The server" : "The server at " + std::string(baseURL);
    if (failure.kind == HttpFailureKind::untrustedCertificate)
        return server + " was not used: " + failure.detail +
               ". Write the address of a server whose certificate this machine trusts in "
               "MIVO_API_URL, or add its issuer to the system's trusted certificates.";
    if (failure.kind == HttpFailureKind::foreignListener)
        return refusedListenerText(baseURL, failure.detail, !failure.ownerUnknown);
    if (failure.detail.empty())
        return server + " could not be reached";
    std::string text = server + " could not be reached (" + failure.detail + ")";
    if (failure.kind == HttpFailureKind::offline)
        if (auto advice = loopbackAddressAdvice(baseURL))
            text += ". " + *advice;
    return text;
}

}  // namespace

bool isUnreachable(const MivoAPIClient::APIError& error) {
    return error.kind == MivoAPIClient::APIError::Kind::networkFailed &&
           error.transportFailure.kind != HttpFailureKind::cancelled;
}

bool isAddressFault(const MivoAPIClient::APIError& error, std::string_view baseURL) {
    if (error.kind != MivoAPIClient::APIError::Kind::networkFailed)
        return false;
    const HttpFailure& failure = error.transportFailure;
    return failure.kind == HttpFailureKind::untrustedCertificate ||
           failure.kind == HttpFailureKind::foreignListener ||
           (failure.kind == HttpFailureKind::offline && loopbackAddressAdvice(baseURL));
}

bool nothingListensOnThisMachine(const MivoAPIClient::APIError& error, std::string_view baseURL) {
    return error.kind == MivoAPIClient::APIError::Kind::networkFailed &&
           error.transportFailure.kind == HttpFailureKind::offline &&
           error.transportFailure.refused && isLoopbackHttp(baseURL);
}

std::string describeAPIError(const MivoAPIClient::APIError& error, std::string_view baseURL) {
    using Kind = MivoAPIClient::APIError::Kind;
    switch (error.kind) {
        case Kind::badRequest:
            return "The server refused the request: " + error.message;
        case Kind::serverError:
            // Too many requests: a wait, not a fault, mends it.
            if (error.statusCode == 429)
                return "The sign-in service is busy; try again in a few minutes";
            return "The server failed (status " + std::to_string(error.statusCode) + ")";
        case Kind::decodingFailed:
            return "The server's answer could not be read";
        case Kind::networkFailed:
            return unreachable(error, baseURL);
        case Kind::unauthorized:
            return "The server did not accept the sign-in";
    }
    return {};
}

}  // namespace mivo
