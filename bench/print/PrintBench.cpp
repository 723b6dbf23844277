// Our print handlers and wide-integer operations beside the libraries people would otherwise use, on
// the same values: a fixed array of 1024 random inputs per workload, cycled through. Before anything
// is timed, every implementation of a workload renders every input and the texts are compared, so a
// fast but wrong implementation cannot produce a number.
//
// Benchmark names are "<workload>/<implementation>"; make_results.py turns them into the table.
#include <Foundation/tFixInt.h>
#include <System/tFormat.h>
#include <System/tPrint.h>
#include <System/tPrintf.h>
#include <benchmark/benchmark.h>
#include <boost/multiprecision/cpp_int.hpp>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fmt/compile.h>
#include <fmt/format.h>
#include <functional>
#include <gmp.h>
#include <random>
#include <string>
#include <valgrind/callgrind.h>
#include <vector>

namespace
{
constexpr int ValueCount = 1024;
constexpr int BufferSize = 4096;
using uint128 = unsigned __int128;
using boost::multiprecision::uint128_t;
using boost::multiprecision::uint512_t;

// ---------------------------------------------------------------------------------------------------
// Inputs
// ---------------------------------------------------------------------------------------------------

struct tWide512
{
    uint32_t Words[16];
};

struct tInputs
{
    std::vector<int32_t> I32;
    std::vector<int64_t> I64;
    std::vector<uint64_t> U64;
    std::vector<double> Fixed, Exponent, General;
    std::vector<tWide512> Full128, Small128, Full512, Small512, MulA, MulB;
    std::vector<std::string> Hex128Digits, Dec155Digits, Hex128DigitsWithPrefix;
};

tInputs inputs;

// Mixed digit counts: a random word shifted right by a random amount, so short and long values alternate
// the way real log arguments do.
uint64_t MixedLength(std::mt19937_64& rng)
{
    return rng() >> (rng() % 64);
}

tWide512 RandomWide(std::mt19937_64& rng, int words)
{
    tWide512 v{};
    for (int i = 0; i < words; ++i)
        v.Words[i] = uint32_t(rng());
    return v;
}

tWide512 SmallWide(std::mt19937_64& rng)
{
    tWide512 v{};
    const uint64_t x = MixedLength(rng);
    v.Words[0] = uint32_t(x);
    v.Words[1] = uint32_t(x >> 32);
    return v;
}

std::string Printf(const char* format, double x)
{
    char buf[512];
    std::snprintf(buf, sizeof buf, format, x);
    return buf;
}

std::string ToChars(double x, std::chars_format format, int precision)
{
    char buf[512];
    const auto r = std::to_chars(buf, buf + sizeof buf, x, format, precision);
    return std::string(buf, r.ptr);
}

// Our g keeps trailing zeros and takes the fixed form for x < 10^precision, which is C's "%#.4g" only
// from 1 up, and it rounds exact ties away from zero. The values therefore lie in [1, 10^4), and values
// on which the peers themselves disagree (to_chars drops trailing zeros) are drawn again.
double GeneralValue(std::mt19937_64& rng)
{
    std::uniform_real_distribution<double> unit(1.0, 10.0);
    for (;;)
    {
        const double x = unit(rng) * std::pow(10.0, double(rng() % 4));
        if (Printf("%#.4g", x) == ToChars(x, std::chars_format::general, 4))
            return x;
    }
}

void MakeInputs()
{
    std::mt19937_64 rng(20261208);
    std::uniform_real_distribution<double> unit(1.0, 10.0);
    for (int i = 0; i < ValueCount; ++i)
    {
        const bool negative = rng() & 1;
        const uint64_t m = MixedLength(rng);
        inputs.I32.push_back(negative ? -int32_t(m >> 33) : int32_t(m >> 33));
        inputs.I64.push_back(negative ? -int64_t(m >> 1) : int64_t(m >> 1));
        inputs.U64.push_back(MixedLength(rng));
        const double sign = negative ? -1.0 : 1.0;
        inputs.Fixed.push_back(sign * unit(rng) * std::pow(10.0, double(int(rng() % 10) - 3)));
        inputs.Exponent.push_back(sign * unit(rng) * std::pow(10.0, double(int(rng() % 61) - 30)));
        inputs.General.push_back(GeneralValue(rng));
        inputs.Full128.push_back(RandomWide(rng, 4));
        inputs.Small128.push_back(SmallWide(rng));
        inputs.Full512.push_back(RandomWide(rng, 16));
        inputs.Small512.push_back(SmallWide(rng));
        inputs.MulA.push_back(RandomWide(rng, 16));
        inputs.MulB.push_back(RandomWide(rng, 16));

        std::string hex, dec = "10";
        for (int d = 0; d < 128; ++d)
            hex += "0123456789abcdef"[rng() % 16];
        for (int d = 0; d < 153; ++d)
            dec += char('0' + rng() % 10);
        inputs.Hex128Digits.push_back(hex);
        inputs.Hex128DigitsWithPrefix.push_back("0x" + hex);
        inputs.Dec155Digits.push_back(dec); // 155 digits below 1.1e154, inside 512 bits
    }
}

// ---------------------------------------------------------------------------------------------------
// Peers' values, converted once so that only the operation itself is timed
// ---------------------------------------------------------------------------------------------------

struct tPeerValues
{
    std::vector<uint128> Full128, Small128;
    std::vector<uint128_t> BoostFull128, BoostSmall128;
    std::vector<uint512_t> BoostFull512, BoostSmall512, BoostMulA, BoostMulB;
    std::vector<mpz_t> GmpFull128, GmpSmall128, GmpFull512, GmpSmall512;
    std::vector<std::vector<mp_limb_t>> GmpMulA, GmpMulB;
};

tPeerValues peers;

uint128 ToInt128(const tWide512& v)
{
    uint128 r = 0;
    for (int i = 3; i >= 0; --i)
        r = (r << 32) | v.Words[i];
    return r;
}

template <typename tBoost> tBoost ToBoost(const tWide512& v, int words)
{
    tBoost r = 0;
    for (int i = words - 1; i >= 0; --i)
        r = (r << 32) | v.Words[i];
    return r;
}

void FillGmp(std::vector<mpz_t>& out, const std::vector<tWide512>& values, int words)
{
    out = std::vector<mpz_t>(values.size());
    for (size_t i = 0; i < values.size(); ++i)
    {
        mpz_init(out[i]);
        mpz_import(out[i], size_t(words), -1, 4, 0, 0, values[i].Words);
    }
}

std::vector<mp_limb_t> ToLimbs(const tWide512& v)
{
    std::vector<mp_limb_t> limbs(8);
    std::memcpy(limbs.data(), v.Words, 64);
    return limbs;
}

void MakePeerValues()
{
    for (int i = 0; i < ValueCount; ++i)
    {
        peers.Full128.push_back(ToInt128(inputs.Full128[i]));
        peers.Small128.push_back(ToInt128(inputs.Small128[i]));
        peers.BoostFull128.push_back(ToBoost<uint128_t>(inputs.Full128[i], 4));
        peers.BoostSmall128.push_back(ToBoost<uint128_t>(inputs.Small128[i], 4));
        peers.BoostFull512.push_back(ToBoost<uint512_t>(inputs.Full512[i], 16));
        peers.BoostSmall512.push_back(ToBoost<uint512_t>(inputs.Small512[i], 16));
        peers.BoostMulA.push_back(ToBoost<uint512_t>(inputs.MulA[i], 16));
        peers.BoostMulB.push_back(ToBoost<uint512_t>(inputs.MulB[i], 16));
        peers.GmpMulA.push_back(ToLimbs(inputs.MulA[i]));
        peers.GmpMulB.push_back(ToLimbs(inputs.MulB[i]));
    }
    FillGmp(peers.GmpFull128, inputs.Full128, 4);
    FillGmp(peers.GmpSmall128, inputs.Small128, 4);
    FillGmp(peers.GmpFull512, inputs.Full512, 16);
    FillGmp(peers.GmpSmall512, inputs.Small512, 16);
}

// ---------------------------------------------------------------------------------------------------
// Registration and the check
// ---------------------------------------------------------------------------------------------------

// One implementation of a workload: renders input i into out and returns the length.
using tTextOf = std::function<std::string(int)>;

struct tEntry
{
    std::string Workload, Implementation;
    tTextOf Text;
};

std::vector<tEntry> entries;

// With --count=<workload>/<implementation>, that implementation runs over every input CountRounds times
// between callgrind's start and stop of instrumentation, and nothing is timed (count.sh).
std::string countedName;
constexpr int CountRounds = 4;

template <typename tRun> void CountInstructions(const tRun& run)
{
    static char buf[BufferSize];
    size_t sum = 0;
    for (int i = 0; i < ValueCount; ++i) // warm up, outside the count
        sum += run(i, buf);
    CALLGRIND_START_INSTRUMENTATION;
    for (int round = 0; round < CountRounds; ++round)
        for (int i = 0; i < ValueCount; ++i)
            sum += run(i, buf);
    CALLGRIND_STOP_INSTRUMENTATION;
    benchmark::DoNotOptimize(sum);
}

// 0, or the fixed iteration count given with --iterations=N: instruction counts under callgrind need
// every run to do the same work, which Google Benchmark's time-based count does not give.
int64_t fixedIterations = 0;

// run is timed; text gives the text the check compares (by default what run wrote).
template <typename tRun>
void Add(const char* workload, const char* implementation, tRun run, tTextOf text = {})
{
    if (!text)
        text = [run](int i)
        {
            static char buf[BufferSize];
            const size_t n = run(i, buf);
            return std::string(buf, n);
        };
    entries.push_back({workload, implementation, text});
    if (countedName == std::string(workload) + "/" + implementation)
        CountInstructions(run);
    benchmark::internal::Benchmark* b =
        benchmark::RegisterBenchmark((std::string(workload) + "/" + implementation).c_str(),
                                     [run](benchmark::State& state)
                                     {
                                         char buf[BufferSize];
                                         unsigned i = 0;
                                         for (auto _ : state)
                                         {
                                             const size_t n = run(int(i++ % ValueCount), buf);
                                             benchmark::DoNotOptimize(n);
                                             benchmark::DoNotOptimize(buf);
                                             benchmark::ClobberMemory();
                                         }
                                     });
    if (fixedIterations > 0)
        b->Iterations(fixedIterations);
}

// Every implementation of a workload must give the first one's text for every input.
bool CheckAll()
{
    bool ok = true;
    for (size_t e = 0; e < entries.size(); ++e)
    {
        const tEntry& entry = entries[e];
        const tEntry* reference = nullptr;
        for (const tEntry& other : entries)
            if (other.Workload == entry.Workload)
            {
                reference = &other;
                break;
            }
        if (reference == &entry)
            continue;
        int mismatches = 0;
        for (int i = 0; i < ValueCount; ++i)
        {
            const std::string expected = reference->Text(i);
            const std::string actual = entry.Text(i);
            if (expected != actual && mismatches++ < 3)
                std::fprintf(stderr, "MISMATCH %s: %s gave \"%s\", %s gave \"%s\"\n", entry.Workload.c_str(),
                             reference->Implementation.c_str(), expected.c_str(),
                             entry.Implementation.c_str(), actual.c_str());
        }
        if (mismatches)
        {
            std::fprintf(stderr, "CHECK FAILED %s/%s: %d of %d inputs differ\n", entry.Workload.c_str(),
                         entry.Implementation.c_str(), mismatches, ValueCount);
            ok = false;
        }
    }
    std::fprintf(stderr, "check: %zu implementations, %s\n", entries.size(),
                 ok ? "all texts agree" : "FAILED");
    return ok;
}

// ---------------------------------------------------------------------------------------------------
// Ours
// ---------------------------------------------------------------------------------------------------

size_t Ours(tTypeHandler handler, const tFormatSpec& spec, const void* value, char* out)
{
    tPrintTarget target;
    target.Buffer = out;
    handler(target, spec, value);
    return size_t(target.CharCount);
}

size_t HexWords(const uint32_t* words, char* out)
{
    for (int i = 15; i >= 0; --i)
        std::snprintf(out + 8 * (15 - i), 9, "%08x", unsigned(words[i]));
    return 128;
}

std::string HexWordsText(const uint32_t* words)
{
    char buf[160];
    return std::string(buf, HexWords(words, buf));
}

size_t Copy(const std::string& s, char* out)
{
    std::memcpy(out, s.data(), s.size());
    return s.size();
}

size_t ToCharsPadded(int32_t v, int width, char* out)
{
    char digits[16];
    const uint32_t magnitude = v < 0 ? 0u - uint32_t(v) : uint32_t(v);
    const auto r = std::to_chars(digits, digits + sizeof digits, magnitude);
    const int n = int(r.ptr - digits);
    char* p = out;
    if (v < 0)
        *p++ = '-';
    const int zeros = width - n - (v < 0 ? 1 : 0);
    for (int i = 0; i < zeros; ++i)
        *p++ = '0';
    std::memcpy(p, digits, size_t(n));
    return size_t(p + n - out);
}

// Boost's hex text is upper case or lower case by stream flag; ours is lower case.
size_t BoostText(const uint512_t& v, bool hex, char* out)
{
    return Copy(hex ? v.str(0, std::ios_base::hex) : v.str(), out);
}

void RegisterIntegers()
{
    const tFormatSpec d32 = {0, 0, -1, 4}, d64 = {0, 0, -1, 8};
    const tFormatSpec pad32 = {tFormatFlag::ZeroPad, 12, -1, 4};

    Add("i32 decimal", "to_chars",
        [](int i, char* out) { return size_t(std::to_chars(out, out + 32, inputs.I32[i]).ptr - out); });
    Add("i32 decimal", "ours",
        [d32](int i, char* out) { return Ours(HandleDecimal, d32, &inputs.I32[i], out); });
    Add("i32 decimal", "fmt runtime",
        [](int i, char* out) { return size_t(fmt::format_to(out, "{}", inputs.I32[i]) - out); });
    Add("i32 decimal", "fmt compiled",
        [](int i, char* out) { return size_t(fmt::format_to(out, FMT_COMPILE("{}"), inputs.I32[i]) - out); });
    Add("i32 decimal", "snprintf",
        [](int i, char* out) { return size_t(std::snprintf(out, 64, "%d", inputs.I32[i])); });

    Add("i64 decimal", "to_chars",
        [](int i, char* out) { return size_t(std::to_chars(out, out + 32, inputs.I64[i]).ptr - out); });
    Add("i64 decimal", "ours",
        [d64](int i, char* out) { return Ours(HandleDecimal, d64, &inputs.I64[i], out); });
    Add("i64 decimal", "fmt runtime",
        [](int i, char* out) { return size_t(fmt::format_to(out, "{}", inputs.I64[i]) - out); });
    Add("i64 decimal", "fmt compiled",
        [](int i, char* out) { return size_t(fmt::format_to(out, FMT_COMPILE("{}"), inputs.I64[i]) - out); });
    Add("i64 decimal", "snprintf",
        [](int i, char* out) { return size_t(std::snprintf(out, 64, "%lld", (long long)inputs.I64[i])); });

    Add("u64 hex", "to_chars",
        [](int i, char* out) { return size_t(std::to_chars(out, out + 32, inputs.U64[i], 16).ptr - out); });
    Add("u64 hex", "ours", [d64](int i, char* out) { return Ours(HandleHex, d64, &inputs.U64[i], out); });
    Add("u64 hex", "fmt runtime",
        [](int i, char* out) { return size_t(fmt::format_to(out, "{:x}", inputs.U64[i]) - out); });
    Add("u64 hex", "fmt compiled",
        [](int i, char* out)
        { return size_t(fmt::format_to(out, FMT_COMPILE("{:x}"), inputs.U64[i]) - out); });
    Add("u64 hex", "snprintf",
        [](int i, char* out)
        { return size_t(std::snprintf(out, 64, "%llx", (unsigned long long)inputs.U64[i])); });

    Add("i32 zero-padded 12", "to_chars",
        [](int i, char* out) { return ToCharsPadded(inputs.I32[i], 12, out); });
    Add("i32 zero-padded 12", "ours",
        [pad32](int i, char* out) { return Ours(HandleDecimal, pad32, &inputs.I32[i], out); });
    Add("i32 zero-padded 12", "fmt runtime",
        [](int i, char* out) { return size_t(fmt::format_to(out, "{:012}", inputs.I32[i]) - out); });
    Add("i32 zero-padded 12", "fmt compiled",
        [](int i, char* out)
        { return size_t(fmt::format_to(out, FMT_COMPILE("{:012}"), inputs.I32[i]) - out); });
    Add("i32 zero-padded 12", "snprintf",
        [](int i, char* out) { return size_t(std::snprintf(out, 64, "%012d", inputs.I32[i])); });
}

void RegisterReals()
{
    const tFormatSpec p4 = {0, 0, 4, 8};
    Add("double f .4", "to_chars",
        [](int i, char* out) {
            return size_t(std::to_chars(out, out + 400, inputs.Fixed[i], std::chars_format::fixed, 4).ptr -
                          out);
        });
    Add("double f .4", "ours",
        [p4](int i, char* out) { return Ours(HandleFixed, p4, &inputs.Fixed[i], out); });
    Add("double f .4", "fmt runtime",
        [](int i, char* out) { return size_t(fmt::format_to(out, "{:.4f}", inputs.Fixed[i]) - out); });
    Add("double f .4", "fmt compiled",
        [](int i, char* out)
        { return size_t(fmt::format_to(out, FMT_COMPILE("{:.4f}"), inputs.Fixed[i]) - out); });
    Add("double f .4", "snprintf",
        [](int i, char* out) { return size_t(std::snprintf(out, 400, "%.4f", inputs.Fixed[i])); });

    Add("double e .4", "to_chars",
        [](int i, char* out)
        {
            return size_t(
                std::to_chars(out, out + 400, inputs.Exponent[i], std::chars_format::scientific, 4).ptr -
                out);
        });
    Add("double e .4", "ours",
        [p4](int i, char* out) { return Ours(HandleExponent, p4, &inputs.Exponent[i], out); });
    Add("double e .4", "fmt runtime",
        [](int i, char* out) { return size_t(fmt::format_to(out, "{:.4e}", inputs.Exponent[i]) - out); });
    Add("double e .4", "fmt compiled",
        [](int i, char* out)
        { return size_t(fmt::format_to(out, FMT_COMPILE("{:.4e}"), inputs.Exponent[i]) - out); });
    Add("double e .4", "snprintf",
        [](int i, char* out) { return size_t(std::snprintf(out, 400, "%.4e", inputs.Exponent[i])); });

    Add("double g .4", "to_chars",
        [](int i, char* out)
        {
            return size_t(
                std::to_chars(out, out + 400, inputs.General[i], std::chars_format::general, 4).ptr - out);
        });
    Add("double g .4", "ours",
        [p4](int i, char* out) { return Ours(HandleGeneral, p4, &inputs.General[i], out); });
    Add("double g .4", "fmt runtime",
        [](int i, char* out) { return size_t(fmt::format_to(out, "{:#.4g}", inputs.General[i]) - out); });
    Add("double g .4", "fmt compiled",
        [](int i, char* out)
        { return size_t(fmt::format_to(out, FMT_COMPILE("{:#.4g}"), inputs.General[i]) - out); });
    Add("double g .4", "snprintf",
        [](int i, char* out) { return size_t(std::snprintf(out, 400, "%#.4g", inputs.General[i])); });
}

// One value each, printed with a long precision: where digits by the exact expansion cost the most.
void RegisterLongPrecisions()
{
    struct tLong
    {
        const char* Workload;
        double Value;
        int Precision;
    };
    static const tLong longs[] = {
        {"double %.40f of 1e-30", 1e-30, 40},
        {"double %.0f of 1e300", 1e300, 0},
        {"double %.1074f of 2^-1074", 4.9406564584124654e-324, 1074},
    };
    for (const tLong& l : longs)
    {
        Add(l.Workload, "snprintf",
            [l](int, char* out)
            { return size_t(std::snprintf(out, BufferSize, "%.*f", l.Precision, l.Value)); });
        Add(l.Workload, "ours",
            [l](int, char* out)
            {
                const tFormatSpec spec = {0, 0, l.Precision, 8};
                return Ours(HandleFixed, spec, &l.Value, out);
            });
        Add(l.Workload, "to_chars",
            [l](int, char* out)
            {
                return size_t(
                    std::to_chars(out, out + BufferSize, l.Value, std::chars_format::fixed, l.Precision).ptr -
                    out);
            });
    }
}

void RegisterWide()
{
    const tFormatSpec u128 = {0, 0, -1, 16}, u512 = {0, 0, -1, 64};

    Add("u128 decimal full", "gmp",
        [](int i, char* out)
        {
            mpz_get_str(out, 10, peers.GmpFull128[i]);
            return std::strlen(out);
        });
    Add("u128 decimal full", "ours",
        [u128](int i, char* out) { return Ours(HandleUnsigned, u128, &inputs.Full128[i], out); });
    Add("u128 decimal full", "fmt (__int128)",
        [](int i, char* out)
        { return size_t(fmt::format_to(out, FMT_COMPILE("{}"), peers.Full128[i]) - out); });
    Add("u128 decimal full", "boost",
        [](int i, char* out) { return Copy(peers.BoostFull128[i].str(), out); });

    Add("u128 decimal small", "gmp",
        [](int i, char* out)
        {
            mpz_get_str(out, 10, peers.GmpSmall128[i]);
            return std::strlen(out);
        });
    Add("u128 decimal small", "ours",
        [u128](int i, char* out) { return Ours(HandleUnsigned, u128, &inputs.Small128[i], out); });
    Add("u128 decimal small", "fmt (__int128)",
        [](int i, char* out)
        { return size_t(fmt::format_to(out, FMT_COMPILE("{}"), peers.Small128[i]) - out); });
    Add("u128 decimal small", "boost",
        [](int i, char* out) { return Copy(peers.BoostSmall128[i].str(), out); });

    Add("u512 decimal full", "gmp",
        [](int i, char* out)
        {
            mpz_get_str(out, 10, peers.GmpFull512[i]);
            return std::strlen(out);
        });
    Add("u512 decimal full", "ours",
        [u512](int i, char* out) { return Ours(HandleUnsigned, u512, &inputs.Full512[i], out); });
    Add("u512 decimal full", "boost",
        [](int i, char* out) { return BoostText(peers.BoostFull512[i], false, out); });

    Add("u512 decimal small", "gmp",
        [](int i, char* out)
        {
            mpz_get_str(out, 10, peers.GmpSmall512[i]);
            return std::strlen(out);
        });
    Add("u512 decimal small", "ours",
        [u512](int i, char* out) { return Ours(HandleUnsigned, u512, &inputs.Small512[i], out); });
    Add("u512 decimal small", "boost",
        [](int i, char* out) { return BoostText(peers.BoostSmall512[i], false, out); });

    Add("u512 hex full", "gmp",
        [](int i, char* out)
        {
            mpz_get_str(out, 16, peers.GmpFull512[i]);
            return std::strlen(out);
        });
    Add("u512 hex full", "ours",
        [u512](int i, char* out) { return Ours(HandleHex, u512, &inputs.Full512[i], out); });
    Add("u512 hex full", "boost",
        [](int i, char* out) { return BoostText(peers.BoostFull512[i], true, out); });
}

// The low 512 bits of the product, as 128 hexadecimal digits from the top.
void RegisterArithmetic()
{
    Add(
        "u512 multiply (low half)", "boost",
        [](int i, char* out)
        {
            const uint512_t product = peers.BoostMulA[i] * peers.BoostMulB[i];
            std::memset(out, 0, 64);
            std::memcpy(out, product.backend().limbs(),
                        product.backend().size() * sizeof(*product.backend().limbs()));
            return size_t(64);
        },
        [](int i)
        {
            const uint512_t product = peers.BoostMulA[i] * peers.BoostMulB[i];
            tWide512 words{};
            std::memcpy(words.Words, product.backend().limbs(),
                        product.backend().size() * sizeof(*product.backend().limbs()));
            return HexWordsText(words.Words);
        });
    Add(
        "u512 multiply (low half)", "ours",
        [](int i, char* out)
        {
            tWideInt512 a;
            std::memcpy(a.Words, inputs.MulA[i].Words, 64);
            tWideInt512 b;
            std::memcpy(b.Words, inputs.MulB[i].Words, 64);
            a.MultiplyUnsigned(b);
            std::memcpy(out, a.Words, 64);
            return size_t(64);
        },
        [](int i)
        {
            tWideInt512 a;
            std::memcpy(a.Words, inputs.MulA[i].Words, 64);
            tWideInt512 b;
            std::memcpy(b.Words, inputs.MulB[i].Words, 64);
            a.MultiplyUnsigned(b);
            return HexWordsText(a.Words);
        });
    Add(
        "u512 multiply (low half)", "gmp mpn_mul_n",
        [](int i, char* out)
        {
            mp_limb_t product[16];
            mpn_mul_n(product, peers.GmpMulA[i].data(), peers.GmpMulB[i].data(), 8);
            std::memcpy(out, product, 64);
            return size_t(64);
        },
        [](int i)
        {
            mp_limb_t product[16];
            mpn_mul_n(product, peers.GmpMulA[i].data(), peers.GmpMulB[i].data(), 8);
            uint32_t words[16];
            std::memcpy(words, product, 64);
            return HexWordsText(words);
        });
}

std::string GmpParsedText(const std::string& text, int base)
{
    mpz_t z;
    mpz_init(z);
    mpz_set_str(z, text.c_str(), base);
    uint32_t words[16] = {};
    mpz_export(words, nullptr, -1, 4, 0, 0, z);
    mpz_clear(z);
    return HexWordsText(words);
}

std::string BoostParsedText(const uint512_t& v)
{
    uint32_t words[16] = {};
    std::memcpy(words, v.backend().limbs(), v.backend().size() * sizeof(*v.backend().limbs()));
    return HexWordsText(words);
}

void RegisterParsing()
{
    struct tParse
    {
        const char* Workload;
        const std::vector<std::string>* Texts;
        const std::vector<std::string>* BoostTexts;
        int Base;
    };
    static const tParse parses[] = {
        {"parse 128 hex digits (512 bits)", &inputs.Hex128Digits, &inputs.Hex128DigitsWithPrefix, 16},
        {"parse 155 decimal digits (512 bits)", &inputs.Dec155Digits, &inputs.Dec155Digits, 10},
    };
    for (const tParse& p : parses)
    {
        Add(
            p.Workload, "gmp",
            [p](int i, char*)
            {
                static mpz_t z;
                static bool ready = false;
                if (!ready)
                {
                    mpz_init2(z, 1024);
                    ready = true;
                }
                mpz_set_str(z, (*p.Texts)[i].c_str(), p.Base);
                return size_t(z[0]._mp_size);
            },
            [p](int i) { return GmpParsedText((*p.Texts)[i], p.Base); });
        Add(
            p.Workload, "ours",
            [p](int i, char* out)
            {
                const tWideInt512 v = tWideInt512::FromText((*p.Texts)[i].c_str(), p.Base);
                std::memcpy(out, v.Words, 64);
                return size_t(64);
            },
            [p](int i) { return HexWordsText(tWideInt512::FromText((*p.Texts)[i].c_str(), p.Base).Words); });
        Add(
            p.Workload, "boost",
            [p](int i, char* out)
            {
                const uint512_t v((*p.BoostTexts)[i].c_str());
                std::memcpy(out, v.backend().limbs(), 8);
                return size_t(8);
            },
            [p](int i) { return BoostParsedText(uint512_t((*p.BoostTexts)[i].c_str())); });
    }
}
// A whole log line through each driver: "x=%d y=%.3f s=%s\n" with a mixed-length int, a double of
// the f workload and a short name. The C-style driver races snprintf and fmt with a format parsed at
// run time; the type-safe form with a literal races fmt's compiled format.
void RegisterDrivers()
{
    static std::vector<std::string> names;
    for (int i = 0; i < ValueCount; ++i)
        names.push_back("sensor-" + std::to_string(i % 97));
    const auto name = [](int i) { return names[size_t(i)].c_str(); };

    Add("log line, runtime format", "ours",
        [name](int i, char* out) {
            return size_t(tsnPrintf(out, 256, "x=%d y=%.3f s=%s\n", inputs.I32[i], inputs.Fixed[i], name(i)));
        });
    Add("log line, runtime format", "snprintf",
        [name](int i, char* out) {
            return size_t(
                std::snprintf(out, 256, "x=%d y=%.3f s=%s\n", inputs.I32[i], inputs.Fixed[i], name(i)));
        });
    Add("log line, runtime format", "fmt runtime",
        [name](int i, char* out)
        {
            return size_t(fmt::format_to(out, fmt::runtime("x={} y={:.3f} s={}\n"), inputs.I32[i],
                                         inputs.Fixed[i], name(i)) -
                          out);
        });

    Add("log line, literal format", "ours",
        [name](int i, char* out) {
            return size_t(
                tFormat(out, 256, T_FMT("x=%d y=%.3f s=%s\n"), inputs.I32[i], inputs.Fixed[i], name(i)));
        });
    Add("log line, literal format", "fmt compiled",
        [name](int i, char* out)
        {
            return size_t(fmt::format_to(out, FMT_COMPILE("x={} y={:.3f} s={}\n"), inputs.I32[i],
                                         inputs.Fixed[i], name(i)) -
                          out);
        });
}
} // namespace

int main(int argc, char** argv)
{
    const std::string countOption = "--count=";
    if (argc > 1 && std::string(argv[1]).compare(0, countOption.size(), countOption) == 0)
        countedName = argv[1] + countOption.size();
    // --iterations=N is ours, not Google Benchmark's: it is taken out before the library sees the rest.
    int kept = 1;
    for (int a = 1; a < argc; ++a)
        if (std::strncmp(argv[a], "--iterations=", 13) == 0)
            fixedIterations = std::strtoll(argv[a] + 13, nullptr, 10);
        else
            argv[kept++] = argv[a];
    argc = kept;
    MakeInputs();
    MakePeerValues();
    RegisterIntegers();
    RegisterReals();
    RegisterLongPrecisions();
    RegisterWide();
    RegisterArithmetic();
    RegisterParsing();
    RegisterDrivers();
    if (!countedName.empty())
        return 0;
    const bool ok = CheckAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return ok ? 0 : 1;
}
