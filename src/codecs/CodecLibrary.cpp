#include "codecs/CodecLibrary.h"

#include <algorithm>

namespace quillon {

CodecLibrary::CodecLibrary(LibraryId id, std::initializer_list<const char*> names, bool keepLoaded)
    : library_(LibraryNames::LoadPath(id), keepLoaded) {
    entries_.reserve(names.size());
    for (const char* name : names) {
        entries_.emplace_back(name, library_.Symbol(name));
    }
}

void* CodecLibrary::Entry(std::string_view name) const {
    const auto it = std::find_if(entries_.begin(), entries_.end(),
                                 [name](const auto& entry) { return entry.first == name; });
    return it != entries_.end() ? it->second : nullptr;
}

size_t CodecLibrary::ResolvedCount() const {
    return static_cast<size_t>(std::count_if(entries_.begin(), entries_.end(),
                                             [](const auto& entry) { return entry.second; }));
}

std::string LibraryMissingMessage(LibraryId id) {
    return LibraryNames::FileName(id) + " library could not be loaded.";
}

} // namespace quillon
