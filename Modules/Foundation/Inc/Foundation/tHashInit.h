// The MD5 initial state (RFC 1321) and the SHA-256 initial hash value (FIPS 180-4), each held as one
// fixed-width integer parsed from its hexadecimal text.
//
// Each text is read as a single big number, so its most significant digits land in the top word:
// HashInitMD5 has the chaining value A in word 3 and D in word 0, HashInitSHA256 has H0 in word 7 and
// H7 in word 0. In memory that is the byte-reversed image of the state as the hash algorithms lay it
// out. Both texts are exactly Bits/4 digits long, so no digit is lost to the place value wrapping.
//
// The constants have internal linkage: every unit that includes this header owns its own pair, and
// the pair never depends on another unit's globals. Within a unit HashInitMD5 is initialised before
// HashInitSHA256. FromText is constexpr and reads only its arguments, so a compiler may evaluate both
// initialisers at compile time and place the values in the image (constant initialisation); where it
// does not, they are computed before main, and either way no code can observe the difference. Neither
// has a destructor. Nothing in the program reads them yet.
#pragma once
#include <Foundation/tFixInt.h>

static const tWideInt128 HashInitMD5 = tWideInt128::FromText("67452301efcdab8998badcfe10325476", 16);

static const tWideInt256 HashInitSHA256 =
    tWideInt256::FromText("6a09e667bb67ae853c6ef372a54ff53a510e527f9b05688c1f83d9ab5be0cd19", 16);
