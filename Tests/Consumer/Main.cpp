// Uses the installed libraries as another project would: owned text, a wide integer, a print handler
// reached through the handler table and both drivers. Prints one line per check; the exit status is 0
// only when every check matches.
#include <Foundation/tFixInt.h>
#include <Foundation/tString.h>
#include <System/tFormat.h>
#include <System/tPrint.h>
#include <System/tPrintf.h>
#include <cstdio>
#include <cstring>

namespace
{
int Failures = 0;

void Expect(const char* what, const char* actual, const char* expected)
{
    const bool same = std::strcmp(actual, expected) == 0;
    std::printf("%s %s: %s\n", same ? "ok  " : "FAIL", what, actual);
    if (!same)
    {
        std::printf("     expected: %s\n", expected);
        ++Failures;
    }
}
} // namespace

int main()
{
    tString version("1.0.0");
    const tString major = version.TakeFirstPart('.');
    Expect("tString first part", major.Chars, "1");
    Expect("tString rest", version.Chars, "0.0");

    // 2^128, which needs the carry out of the low 128 bits; python3 -c "print(2**128)"
    tWideInt256 value = tWideInt256::FromText("0xffffffffffffffffffffffffffffffff", 0);
    value.Add(tWideInt256::FromInt(1));

    char text[128] = {};
    tPrintTarget target;
    target.Buffer = text;
    target.BufferLimit = int32_t(sizeof text - 1);
    tFormatSpec spec;
    spec.Flags = tFormatFlag::CommaGroups;
    spec.TypeSize = int32_t(sizeof value);
    TypeHandlerTable[TypeCharIndex[static_cast<unsigned char>('u')]].Handler(target, spec, &value);
    Expect("%u of a tWideInt256", text, "340,282,366,920,938,463,463,374,607,431,768,211,456");

    char line[16];
    const int length = tsnPrintf(line, int(sizeof line), "%s=%08.3f|%#x", "pi", 3.14159265, 255u);
    Expect("tsnPrintf, cut to its buffer", line, "pi=0003.142|0xf");
    Expect("tsnPrintf's full length", length == 16 ? "16" : "other", "16");
    tFormat(line, T_FMT("%-4s|%+d"), tString("ab"), 7);
    Expect("tFormat", line, "ab  |+7");

    return Failures == 0 ? 0 : 1;
}
