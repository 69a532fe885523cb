// Reads typed values off a fuzzer's byte string; past its end everything reads as 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data(data), size(size) {}

    bool empty() const { return pos >= size; }

    template <typename T> T take()
    {
        T value{};
        size_t n = sizeof(T) <= size - pos ? sizeof(T) : size - pos;
        if (pos < size) {
            std::memcpy(&value, data + pos, n);
            pos += n;
        }
        return value;
    }

    // A float that is often one of the values hosts get wrong.
    float takeFloat()
    {
        static const float special[] = {0.0f, -0.0f, 1.0f, 0.5f, -1.0f, 1e9f, -1e9f, 1e30f,
                                        __builtin_inff(), -__builtin_inff(), __builtin_nanf(""), 1e-40f};
        uint8_t kind = take<uint8_t>();
        if (kind < 0x80)
            return special[kind % (sizeof(special) / sizeof(special[0]))];
        return take<float>();
    }

private:
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
};
