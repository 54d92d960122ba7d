#include "app/CdPreview.h"

#include "cd/CDIn.h"
#include "dsp/AudioOut.h"

#include <memory>

namespace quillon {

namespace {
std::unique_ptr<TAudioOut> stubSink;
}

TCdPreview::TCdPreview(TCDIn&, QTreeWidget&, QWidget* parent) : QGroupBox("CD Preview", parent) {}

TCdPreview::~TCdPreview() = default;

void TCdPreview::Play() {}

void TCdPreview::StopPreview() {}

bool TCdPreview::Playing() const {
    return false;
}

TAudioOut& TCdPreview::AudioOut() {
    if (!stubSink)
        stubSink = std::make_unique<TAudioOut>();
    return *stubSink;
}

} // namespace quillon
