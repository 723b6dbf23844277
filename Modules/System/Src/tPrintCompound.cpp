// The v, q and m layouts: floats printed through the fixed form, bracketed and separated.
#include "tPrintDetail.h"

namespace
{
void PutComponent(tPrintTarget& target, const tFormatSpec& spec, float component)
{
    const double x = component;
    HandleFixed(target, spec, &x);
}
} // namespace

void WriteFloatComponents(tPrintTarget& target, const tFormatSpec& spec, const float* values, int count)
{
    if (!values)
        count = 0;
    const bool alt = (spec.Flags & tFormatFlag::AltStyle) != 0;
    if (!alt)
        target.Put('(');
    for (int i = 0; i < count; i++)
    {
        if (i > 0)
        {
            if (alt)
                target.Put(' ');
            else
                target.Put(", ", 2);
        }
        PutComponent(target, spec, values[i]);
    }
    if (!alt)
        target.Put(')');
}

namespace tPrintDetail
{
void PrintQuaternion(tPrintTarget& target, const tFormatSpec& spec, const float* q)
{
    target.Put('(');
    if (spec.Flags & tFormatFlag::AltStyle)
    {
        // Scalar part first, then the vector part in its own brackets.
        PutComponent(target, spec, q[3]);
        target.Put(", (", 3);
        for (int i = 0; i < 3; i++)
        {
            if (i > 0)
                target.Put(", ", 2);
            PutComponent(target, spec, q[i]);
        }
        target.Put("))", 2);
        return;
    }
    for (int i = 0; i < 4; i++)
    {
        if (i > 0)
            target.Put(", ", 2);
        PutComponent(target, spec, q[i]);
    }
    target.Put(')');
}

void PrintMatrix(tPrintTarget& target, const tFormatSpec& spec, const float* elements, int dim)
{
    if (!(spec.Flags & tFormatFlag::AltStyle))
    {
        // Stored column by column, so each group of consecutive floats is one column.
        target.Put('(');
        for (int c = 0; c < dim; c++)
        {
            if (c > 0)
                target.Put(", ", 2);
            WriteFloatComponents(target, spec, elements + std::ptrdiff_t(dim) * c, dim);
        }
        target.Put(')');
        return;
    }

    tFormatSpec local = spec;
    if (local.Width == 0)
        local.Width = 9;
    if (local.Precision == -1)
        local.Precision = 4;
    target.Put("[ ", 2);
    for (int r = 0; r < dim; r++)
    {
        if (r > 0)
        {
            target.Put('\n');
            target.Put("  ", 2);
        }
        float row[4];
        for (int c = 0; c < dim; c++)
            row[c] = elements[dim * c + r];
        WriteFloatComponents(target, local, row, dim);
    }
    target.Put(" ]\n", 3);
}
} // namespace tPrintDetail
