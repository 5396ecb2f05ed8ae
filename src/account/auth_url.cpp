#include "account/auth_url.hpp"

#include "shared/service_address.hpp"

namespace mivo {
bool isAcceptableAuthURL(std::string_view url) {
    return isHttpsOrLoopbackHttp(url);
}

std::string describeAPIError(const MivoAPIClient::APIError& error) {
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
            return "The server could not be reached";
        case Kind::unauthorized:
            return "The server did not accept the sign-in";
    }
    return {};
}

}  // namespace mivo
