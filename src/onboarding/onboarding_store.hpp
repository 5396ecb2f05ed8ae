#pragma once

// Where the onboarding keeps whether it was ever completed.

#include "platform/user_defaults.hpp"

namespace mivo {

struct OnboardingStore {
    static constexpr const char* hasCompletedKey = "onboarding.hasCompleted";
    static constexpr const char* schemaVersionKey = "onboarding.schemaVersion";

    UserDefaults& defaults;
    int currentSchemaVersion = 1;

    // Absent, or stored with another type than a Boolean, reads as false.
    bool hasCompleted() const { return defaults.boolean(hasCompletedKey).value_or(false); }
};

}  // namespace mivo
