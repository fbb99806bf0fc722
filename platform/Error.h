// The error that platform calls raise: it ends the command it arises in and
// its text is shown in the application's error box.
#pragma once

#include <stdexcept>
#include <string>

namespace quillon {

class PlatformError : public std::runtime_error {
public:
    explicit PlatformError(const std::string& text) : std::runtime_error(text) {}
};

}  // namespace quillon
