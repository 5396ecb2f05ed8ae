#include "browser_stand_in.hpp"

namespace mivo::testing {

bool BrowserStandIn::openURL(std::string_view url) {
    opened.emplace_back(url);
    if (follows)
        visit(opened.back());
    return true;
}

void BrowserStandIn::visit(const std::string& url) {
    HttpRequest page;
    page.url = url;
    page.totalTimeoutSeconds = 10;
    transport_.send(page, [this](HttpResult result) {
        if (result)
            pageStatus = result->status;
        if (!result || result->status / 100 != 3)
            return;
        const auto location = result->header("Location");
        if (!location)
            return;
        HttpRequest callback;
        callback.url = *location;
        callback.totalTimeoutSeconds = 10;
        ++callbackAttempts;
        transport_.send(callback, [this](HttpResult reply) {
            if (reply)
                callbackReply = *reply;
        });
    });
}

}  // namespace mivo::testing
