#pragma once

// The update feed: a small JSON document {"version": "1.2.0", "notes_url":
// "https://…"} at the address in MIVO_UPDATE_FEED_URL. Mivo only tells the
// user about a newer version; the package manager installs it.

#include <optional>
#include <string>
#include <string_view>

namespace mivo {

struct UpdateFeed {
    std::string version;
    std::optional<std::string> notesURL;  // https only
    bool operator==(const UpdateFeed&) const = default;
};

// Nothing for anything but an object with a dotted numeric "version".
std::optional<UpdateFeed> decodeUpdateFeed(std::string_view json);

// Compares dotted numeric versions part by part ("0.10.0" > "0.9.1", "1.0"
// == "1.0.0"); nothing when either is not such a version.
std::optional<int> compareVersions(std::string_view a, std::string_view b);

}  // namespace mivo
