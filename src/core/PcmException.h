#pragma once

#include <stdexcept>

namespace quillon {

// Raised by every pipeline component; the message is the component's fixed English text.
class EPcmException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace quillon
