#pragma once

// Zero-terminated UTF-16 text fields of fixed capacity inside record images.

#include "format/LittleEndian.h"

#include <QString>

namespace tessa {

template <size_t N>
struct Utf16Field {
    LeU16 units[N];

    // Text up to the first zero unit, or all N units when there is none.
    QString text() const {
        QString out;
        out.reserve(int(N));
        for (size_t i = 0; i < N; ++i) {
            const uint16_t u = units[i].get();
            if (u == 0)
                break;
            out.append(QChar(u));
        }
        return out;
    }
    size_t length() const {
        size_t n = 0;
        while (n < N && units[n].get() != 0)
            ++n;
        return n;
    }
    bool empty() const { return units[0].get() == 0; }
    // Stores at most N - 1 units and a terminator; the rest of the field is zeroed.
    void setText(const QString& s) { setText(s, N - 1); }
    void setText(const QString& s, size_t maxUnits) {
        const size_t n = std::min<size_t>({size_t(s.size()), maxUnits, N - 1});
        for (size_t i = 0; i < N; ++i)
            units[i].set(i < n ? s.at(qsizetype(i)).unicode() : 0);
    }
    // Cuts the text to at most MaxUnits units by writing a terminator.
    template <size_t MaxUnits>
    void bound() {
        static_assert(MaxUnits < N);
        units[MaxUnits].set(0);
    }
    bool equals(const QString& s) const {
        const size_t n = length();
        if (n != size_t(s.size()))
            return false;
        for (size_t i = 0; i < n; ++i)
            if (units[i].get() != s.at(qsizetype(i)).unicode())
                return false;
        return true;
    }
};

} // namespace tessa
