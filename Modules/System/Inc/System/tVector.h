// The float groups that the v, q and m conversions print, as plain aggregates of floats with no
// padding, so that a pointer to one is the pointer the handlers read (tPrint.h). Matrices are stored
// column by column: element (row r, column c) of a tMatrix4 is E[4 * c + r].
#pragma once

struct tVector2
{
    float X, Y;
};

struct tVector3
{
    float X, Y, Z;
};

struct tVector4
{
    float X, Y, Z, W;
};

// Printed as "(X, Y, Z, W)", or with the "_" flag as "(W, (X, Y, Z))", the scalar part first.
struct tQuaternion
{
    float X, Y, Z, W;
};

struct tMatrix2
{
    float E[4];
};

struct tMatrix4
{
    float E[16];
};

static_assert(sizeof(tVector2) == 8 && sizeof(tVector3) == 12 && sizeof(tVector4) == 16,
              "vectors are bare floats");
static_assert(sizeof(tQuaternion) == 16 && sizeof(tMatrix2) == 16 && sizeof(tMatrix4) == 64,
              "quaternions and matrices are bare floats");
