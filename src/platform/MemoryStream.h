#pragma once

#include "platform/Stream.h"

#include <vector>

namespace quillon {

class MemoryStream : public Stream {
public:
    size_t Read(void* buffer, size_t count) override;
    void Write(const void* buffer, size_t count) override;
    int64_t Seek(int64_t offset, SeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(data_.size()); }
    void SetSize(int64_t size) override;

    const std::vector<unsigned char>& Data() const { return data_; }
    unsigned char* Memory() { return data_.data(); }

private:
    std::vector<unsigned char> data_;
    size_t position_ = 0;
};

} // namespace quillon
