// A growable array of plain elements: a block of Capacity slots, the first Count of them in use. It
// grows by a fixed step (GrowCount), never by doubling; a GrowCount of 0 or less fixes the capacity,
// and appends past it are dropped (single element) or refused whole (run), not reported. The array
// owns its block and cannot be copied; slots are value-initialised, so every one may be read.
//
// Costs: growing allocates a new block and copies the whole old one; a run append grows at most once,
// by the smallest multiple of GrowCount that holds the run. What is appended may lie in the array
// itself, so the old block is released only after the append has read it.
// Broken preconditions go through tRequire. If the report returns, an out-of-range index yields a
// scratch slot outside the array, and a bad run append appends nothing and returns false.
#pragma once
#include <Foundation/tStandard.h>
#include <climits>
#include <memory>

template <typename T> class tArray
{
public:
    // A capacity of 0 or less holds no block; the array grows from there if GrowCount allows.
    tArray(int capacity, int growCount);
    virtual ~tArray() { delete[] Storage; }
    tArray(const tArray&) = delete;
    tArray& operator=(const tArray&) = delete;

    // Drops the element when the array is full and cannot grow.
    void Append(const T& element);

    // All or nothing: false, with nothing appended, when a fixed-capacity array lacks room.
    bool Append(const T* elements, int numElementToAppend);

    // Adds numElements slots, keeping every old slot. False, with nothing changed, for 0 or less.
    bool Grow(int numElements);

    // Any allocated slot, not only those in use.
    T& operator[](int index);

    T* GetStorage() { return Storage; }
    const T* GetStorage() const { return Storage; }
    int GetCount() const { return Count; }
    int GetCapacity() const { return Capacity; }

private:
    using tBlock = std::unique_ptr<T[]>;
    // Grows as Grow does, but hands the old block to the caller instead of releasing it.
    bool Enlarge(int numElements, tBlock& oldBlock);
    // Grows by the smallest multiple of GrowCount that holds rest more elements.
    bool GrowToHold(int rest, tBlock& oldBlock);

    T* Storage = nullptr;
    int Count = 0;
    int Capacity = 0;
    int GrowCount = 0;
};

template <typename T> T& tArray<T>::operator[](int index)
{
    tRequire((index < Capacity) && (index >= 0));
    if ((index < Capacity) && (index >= 0))
        return Storage[index];
    // The report was ignored: hand out a slot that belongs to no array rather than touch memory
    // outside the block.
    thread_local T outOfRange;
    outOfRange = T();
    return outOfRange;
}

template <typename T> tArray<T>::tArray(int capacity, int growCount) : GrowCount(growCount)
{
    if (capacity > 0)
    {
        Storage = new T[capacity]();
        Capacity = capacity;
    }
}

template <typename T> void tArray<T>::Append(const T& element)
{
    tBlock oldBlock;
    if (Count >= Capacity)
        Enlarge(GrowCount, oldBlock);
    if (Count < Capacity)
        Storage[Count++] = element;
}

template <typename T> bool tArray<T>::Grow(int numElements)
{
    tBlock oldBlock;
    return Enlarge(numElements, oldBlock);
}

template <typename T> bool tArray<T>::Enlarge(int numElements, tBlock& oldBlock)
{
    if (numElements <= 0 || numElements > INT_MAX - Capacity)
        return false;
    // The array changes only after the copy, so a failed allocation leaves it intact.
    tBlock block(new T[Capacity + numElements]());
    for (int i = 0; i < Capacity; i++)
        block[i] = Storage[i];
    oldBlock.reset(Storage);
    Storage = block.release();
    Capacity += numElements;
    return true;
}

// How the two appends use the room, by example (capacity, grow count, in use -> result):
//
//   single element
//     64, 32, 64          grows by one step to 96 and stores the element
//     64,  0, 64          drops the element; Count stays 64
//      0, 32,  0          grows from no block to 32 and stores the element
//
//   run of n elements
//     64, 32, 60, n = 10  grows by 32 to 96; Count 70
//     64, 32, 64, n = 33  grows by 64 (two steps) to 128; Count 97
//    128,  0, 120, n = 9  refused whole: returns false, Count stays 120
//     64, 32,  0, n = 0   reported; appends nothing and returns false
//
// A growable array grows first and then copies the whole run: the same contents as filling the room
// first and growing afterwards, and the array is untouched when the allocation throws. A capacity
// past INT_MAX is refused like a fixed one.
//
// Reports name the lines of this header's checks (57, 125, 144): keep them where they are.
template <typename T> bool tArray<T>::Append(const T* elements, int numElementToAppend)
{
    tRequire(elements && (numElementToAppend > 0));
    if (!elements || numElementToAppend <= 0)
        return false;
    tBlock oldBlock;
    const int room = Capacity - Count;
    if (numElementToAppend > room)
    {
        if (GrowCount <= 0 || !GrowToHold(numElementToAppend - room, oldBlock))
            return false;
    }
    for (int i = 0; i < numElementToAppend; i++)
        Storage[Count + i] = elements[i];
    Count += numElementToAppend;
    return true;
}

// Only reached with GrowCount > 0; the check guards the division below.
template <typename T> bool tArray<T>::GrowToHold(int rest, tBlock& oldBlock)
{
    tRequire(GrowCount > 0);
    if (GrowCount <= 0)
        return false;
    const int steps = rest / GrowCount + (rest % GrowCount != 0 ? 1 : 0);
    if (steps > INT_MAX / GrowCount)
        return false;
    return Enlarge(steps * GrowCount, oldBlock);
}
