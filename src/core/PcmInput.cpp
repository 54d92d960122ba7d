#include "core/PcmInput.h"

#include <algorithm>

namespace quillon {

TPcmInput::~TPcmInput() {
    std::vector<TInputUser*> users;
    {
        std::lock_guard lock(usersMutex_);
        users.swap(users_);
    }
    for (auto* user : users) {
        user->InputDestroyed(this);
    }
}

void TPcmInput::Reset() {
    try {
        Flush();
    } catch (...) {
        // A reset must always bring the source back to idle.
    }
    busy_ = false;
}

void TPcmInput::AddUser(TInputUser* user) {
    std::lock_guard lock(usersMutex_);
    users_.push_back(user);
}

void TPcmInput::RemoveUser(TInputUser* user) {
    std::lock_guard lock(usersMutex_);
    const auto it = std::find(users_.begin(), users_.end(), user);
    if (it != users_.end()) {
        users_.erase(it);
    }
}

TPcmConverter::~TPcmConverter() {
    if (auto* input = input_.load()) {
        input->RemoveUser(this);
    }
}

void TPcmConverter::SetInput(TPcmInput* value) {
    if (value == this) {
        return;
    }
    TPcmInput* old = input_.load();
    if (value == old) {
        return;
    }
    if (value != nullptr) {
        value->AddUser(this);
    }
    if (busy_ && value != nullptr) {
        value->Init();
    }
    {
        SpinGuard guard(inputLock_);
        input_ = value;
    }
    if (old != nullptr) {
        old->RemoveUser(this);
        if (busy_) {
            old->Flush();
        }
    }
}

void TPcmConverter::ClearInputLocks() {
    inputLock_.Release();
    if (auto* upstream = dynamic_cast<TPcmConverter*>(input_.load())) {
        upstream->ClearInputLocks();
    }
}

int TPcmConverter::ReadFromInput(void* buffer, int size) {
    SpinGuard guard(inputLock_);
    TPcmInput* input = input_.load();
    return input != nullptr ? input->ReadBlock(buffer, size) : 0;
}

void TPcmConverter::InputDestroyed(TPcmInput* input) {
    // The input is going away: forget it without touching it again.
    SpinGuard guard(inputLock_);
    if (input_.load() == input) {
        input_ = nullptr;
    }
}

} // namespace quillon
