// PELTRAK_API marks the functions, data and classes that the shared libraries export. Both libraries
// are compiled with hidden visibility, so whatever a public header does not mark stays private to
// the library that defines it.
//
// The static archives are compiled with PELTRAK_STATIC_LIBRARY, which empties the mark: a shared
// object that links an archive keeps the copy to itself instead of exporting it, and so cannot clash
// with the shared libraries loaded beside it. Windows gets the static libraries only, and no mark.
#pragma once

#if defined(_WIN32) || defined(PELTRAK_STATIC_LIBRARY)
#define PELTRAK_API
#else
#define PELTRAK_API __attribute__((visibility("default")))
#endif
