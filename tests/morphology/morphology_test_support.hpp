#pragma once

// The build's own dictionary and scratch folders for the morphology tests.

#include "morphology/ipadic.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include <unistd.h>

namespace mivo::testing {

// The dictionary the build linked beside the test executable (a folder
// that does not open when the build left none there).
inline std::unique_ptr<DictionaryProviding> buildDictionary() {
    auto d = SealedIPADic::locate();
    if (!d) {
        ADD_FAILURE() << d.error().text;
        return std::make_unique<SealedIPADic>("/nonexistent");
    }
    return std::make_unique<SealedIPADic>(std::move(*d));
}

// A fresh folder per test, removed afterwards.
class ScratchFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        root = std::filesystem::temp_directory_path() /
               ("mivo-morphology-" + std::string(info->test_suite_name()) + "-" + info->name() +
                "-" + std::to_string(::getpid()));
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root);
    }
    void TearDown() override { std::filesystem::remove_all(root); }

    std::filesystem::path root;
};

}  // namespace mivo::testing
