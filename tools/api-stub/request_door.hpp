#pragma once

// What a request must look like before anything of it is handled. The
// stand-in's port is reachable from the user's own browser, whose pages
// speak for the user: a page of any origin may send it simple requests
// (form posts, "no-cors" fetches with a text body), and a page served under
// another name for the same port (localhost, when another program answered
// it first) may even read the answers. So the stand-in answers only
// requests addressed to 127.0.0.1:<port>, the address Mivo and its sign-in
// page use; none that a page of another origin sends (its own sign-in page
// is a top-level navigation, which sends no Origin); and takes a body only
// as application/json, which no page of another origin can send without a
// preflight, and the stand-in grants none.

#include <httplib.h>

#include <cstddef>
#include <optional>
#include <string>

namespace mivo::stub {

struct DoorRefusal {
    int status = 0;
    std::string error;
};

// Why the request, whose head has arrived at the stand-in on 127.0.0.1:`port`,
// is not served; nothing when it may be. A declared body above
// `maxBodyBytes` is refused before it is read.
std::optional<DoorRefusal> doorRefusal(const httplib::Request& req, int port,
                                       std::size_t maxBodyBytes);

}  // namespace mivo::stub
