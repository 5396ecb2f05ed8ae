#pragma once

// User defaults in memory, for tests. Counts writes so a test can state that
// nothing was written.

#include <cstddef>
#include <map>
#include <string>

#include "platform/user_defaults.hpp"

namespace mivo::sim {

class MemoryUserDefaults : public UserDefaults {
  public:
    std::optional<DefaultsValue> object(std::string_view key) const override;
    void set(std::string_view key, DefaultsValue value) override;
    void remove(std::string_view key) override;

    std::size_t writeCount() const { return writes_; }
    bool empty() const { return values_.empty(); }

  private:
    std::map<std::string, DefaultsValue, std::less<>> values_;
    std::size_t writes_ = 0;
};

}  // namespace mivo::sim
