#pragma once

#include "platform/DynamicLibrary.h"

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillon {

// A codec library loaded by file name, with the entry points of its published interface
// resolved by name into a table. A name the library lacks leaves its entry empty.
class CodecLibrary {
public:
    // keepLoaded: the library stays mapped after release (DynamicLibrary).
    CodecLibrary(LibraryId id, std::initializer_list<const char*> names, bool keepLoaded = false);
    CodecLibrary(const CodecLibrary&) = delete;
    CodecLibrary& operator=(const CodecLibrary&) = delete;

    bool Loaded() const { return library_.Loaded(); }
    // The resolved address of a listed entry point; nullptr when missing or not listed.
    void* Entry(std::string_view name) const;
    // Number of listed entry points that the library provides.
    size_t ResolvedCount() const;
    size_t ListedCount() const { return entries_.size(); }

    // Copies a listed entry point into a typed function pointer.
    template <typename F> void Bind(F& entry, const char* name) const {
        entry = reinterpret_cast<F>(Entry(name));
    }

private:
    DynamicLibrary library_;
    std::vector<std::pair<std::string_view, void*>> entries_;
};

// The message of a component whose library is not loaded.
std::string LibraryMissingMessage(LibraryId id);

} // namespace quillon
