#pragma once

#include <stdexcept>
#include <string>

namespace quillon {

// The text of a Monkey's Audio library error code; "undefined (<code>)" for unknown codes.
std::string APEErrorText(int code);

// A Monkey's Audio library error: "MACDll error: " and the code's text.
class EAPEException : public std::runtime_error {
public:
    explicit EAPEException(int code);

    int Code() const { return code_; }

private:
    int code_;
};

} // namespace quillon
