#pragma once

// Byte-image fields of the fixed-size records that the recorder and the backup write. Each field stores
// its bytes exactly as they lie in the file (little-endian) and converts on access, so a record struct can
// be read from and written to a file as it stands on any host, and its layout has no padding.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace tessa {

template <typename T>
struct LittleEndian {
    static_assert(std::is_integral_v<T>);
    uint8_t bytes[sizeof(T)];

    T get() const {
        std::make_unsigned_t<T> value = 0;
        for (size_t i = 0; i < sizeof(T); ++i)
            value |= static_cast<std::make_unsigned_t<T>>(bytes[i]) << (8 * i);
        return static_cast<T>(value);
    }
    void set(T v) {
        auto value = static_cast<std::make_unsigned_t<T>>(v);
        for (size_t i = 0; i < sizeof(T); ++i)
            bytes[i] = static_cast<uint8_t>(value >> (8 * i));
    }
    operator T() const { return get(); }
    LittleEndian& operator=(T v) {
        set(v);
        return *this;
    }
};

using LeU16 = LittleEndian<uint16_t>;
using LeI16 = LittleEndian<int16_t>;
using LeU32 = LittleEndian<uint32_t>;
using LeI32 = LittleEndian<int32_t>;

static_assert(sizeof(LeU16) == 2 && alignof(LeU16) == 1);
static_assert(sizeof(LeU32) == 4 && alignof(LeU32) == 1);

// Reads an unsigned little-endian value from raw bytes (for headers read piecemeal).
inline uint32_t readLeU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint16_t readLeU16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
inline void writeLeU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}
inline void writeLeU16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

} // namespace tessa
