#pragma once

// Helpers shared by the rule-pack tests: the shipped pack files and strict
// decoding of hand-written JSON.

#include "correction/rule_pack.hpp"
#include "shared/json.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <string_view>

namespace mivo::testing {

// The bundle of the source tree, the one the build ships.
inline ResourceBundle sourceLocalCorrectionBundle() {
    return ResourceBundle(sourceResourcesFolder() / "Mivo_LocalCorrection.bundle");
}

// The pack file `named` of the shipped bundle, decoded strictly; nothing
// when it is missing or does not decode (no silent fallback here).
template <typename Pack>
std::optional<Pack> shippedPack(std::string_view named, Pack (*decode)(const json::Json&)) {
    std::optional<Pack> decoded;
    if (!RulePackResource::decodePack(sourceLocalCorrectionBundle(), named,
                                      [&](const json::Json& j) { decoded = decode(j); })) {
        return std::nullopt;
    }
    return decoded;
}

// `jsonText` decoded by `decode`, or nothing when the decoder refuses it.
template <typename Pack>
std::optional<Pack> decoded(Pack (*decode)(const json::Json&), std::string_view jsonText) {
    try {
        return decode(json::parse(jsonText));
    } catch (const json::DecodingError&) {
        return std::nullopt;
    }
}

// A throw-away "Mivo_LocalCorrection.bundle" that a test fills with files.
class TemporaryBundle {
  public:
    TemporaryBundle() {
        std::random_device rd;
        folder_ = std::filesystem::temp_directory_path() /
                  ("mivo-bundle-" + std::to_string(rd()) + "-" + std::to_string(rd())) /
                  "Mivo_LocalCorrection.bundle";
        std::filesystem::create_directories(folder_);
    }
    ~TemporaryBundle() {
        std::error_code ec;
        std::filesystem::remove_all(folder_.parent_path(), ec);
    }
    TemporaryBundle(const TemporaryBundle&) = delete;
    TemporaryBundle& operator=(const TemporaryBundle&) = delete;

    void write(const std::string& relativePath, std::string_view contents) const {
        const auto path = folder_ / relativePath;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << contents;
    }
    ResourceBundle bundle() const { return ResourceBundle(folder_); }

  private:
    std::filesystem::path folder_;
};

}  // namespace mivo::testing
