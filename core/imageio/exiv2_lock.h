#pragma once

#include <mutex>

namespace quillmere {

// Exiv2 keeps process-wide state (its namespace registry and the XMP toolkit) and is not safe to
// call from two threads at once. Every Exiv2 call in the program, tests included, is made while
// an Exiv2Lock is alive.
//
// Taking the lock also initialises Exiv2 the first time and registers the program's XMP schemas
// again: a parsed packet may have bound one of their prefixes to another URI, and a property
// written or looked up under that prefix would then land in the wrong schema.
class Exiv2Lock {
public:
    Exiv2Lock();

    Exiv2Lock(const Exiv2Lock&) = delete;
    Exiv2Lock& operator=(const Exiv2Lock&) = delete;

private:
    std::unique_lock<std::mutex> lock_;
};

}  // namespace quillmere
