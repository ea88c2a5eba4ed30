// An InstallView that keeps what the run did to the progress bar and the
// Install button, and optionally logs it next to the system's calls.
#pragma once

#include <string>
#include <vector>

#include "install/Install.h"

namespace testing_support {

class RecordingView final : public install::InstallView {
public:
    explicit RecordingView(std::vector<std::string>* log = nullptr) : log_(log) {}

    std::uint16_t Position() override { return position; }
    void SetPosition(std::uint16_t value) override {
        position = value;
        positions.push_back(value);
        if (log_) log_->push_back("SetPosition " + std::to_string(value));
    }
    void DisableStart() override {
        enabled = false;
        if (log_) log_->push_back("DisableStart");
    }

    std::uint16_t position = 0;
    std::vector<std::uint16_t> positions;  // every position set, in order
    bool enabled = true;

private:
    std::vector<std::string>* log_;
};

}  // namespace testing_support
