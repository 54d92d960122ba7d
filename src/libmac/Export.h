#pragma once

// Marks a definition of the library's interface as exported; everything else stays hidden.
#define MACDLL_EXPORT __attribute__((visibility("default")))
