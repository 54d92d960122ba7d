#pragma once

#include "platform/DynamicLibrary.h"

namespace quillon::test {

// Points one codec library at a file that does not exist and drops the process-wide tables,
// so that the next component loads again under that name; the destructor restores the real
// names and loads them again.
class MissingLibrary {
public:
    explicit MissingLibrary(LibraryId id);
    ~MissingLibrary();
    MissingLibrary(const MissingLibrary&) = delete;
    MissingLibrary& operator=(const MissingLibrary&) = delete;
};

} // namespace quillon::test
