// T_PRINT_INLINE: the steps of the most common fields are inlined into each row's handler whatever the
// compiler's own estimate of their size, so that the row's constants fold away the branches it never
// takes. T_PRINT_OUT_OF_LINE keeps a rarer path out of such a handler, whose common path then needs
// neither its registers nor its stack.
#pragma once

#if defined(_MSC_VER)
#define T_PRINT_INLINE __forceinline
#define T_PRINT_OUT_OF_LINE __declspec(noinline)
#else
#define T_PRINT_INLINE inline __attribute__((always_inline))
#define T_PRINT_OUT_OF_LINE __attribute__((noinline))
#endif
