// Test helpers for wide integers: readable hexadecimal text for failure messages, and values built
// from word lists without going through the parser under test.
#pragma once
#include <Foundation/tFixInt.h>
#include <cstdio>
#include <initializer_list>
#include <string>

// Words from the top down, each as 8 hexadecimal digits, separated by spaces.
inline std::string HexFromWords(const uint32_t* words, int count)
{
    std::string text;
    for (int i = count - 1; i >= 0; --i)
    {
        char word[10];
        std::snprintf(word, sizeof word, "%08x", static_cast<unsigned>(words[i]));
        text += word;
        if (i != 0)
            text += ' ';
    }
    return text;
}

template <int Bits> std::string WideHex(const tWideInt<Bits>& value)
{
    return HexFromWords(value.Words, tWideInt<Bits>::WordCount);
}

// Words given least significant first; the words not given are fill.
template <int Bits> tWideInt<Bits> WideFromWords(std::initializer_list<uint32_t> lowWords, uint32_t fill = 0)
{
    tWideInt<Bits> value;
    for (uint32_t& word : value.Words)
        word = fill;
    int i = 0;
    for (uint32_t word : lowWords)
        value.Words[i++] = word;
    return value;
}

template <int Bits> tWideInt<Bits> WideMostNegative()
{
    tWideInt<Bits> value = WideFromWords<Bits>({});
    value.Words[tWideInt<Bits>::WordCount - 1] = 0x80000000u;
    return value;
}
