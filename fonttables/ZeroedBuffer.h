#pragma once
// An owned run of bytes that starts out zero. Taken from the system already zeroed, so a
// large one costs no pass of its own: each page is zeroed when it is first written.

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>

namespace fr {

class ZeroedBuffer {
public:
    ZeroedBuffer() = default;
    // `size` zero bytes; an empty buffer when memory for them can't be had.
    static ZeroedBuffer ofSize(std::size_t size) {
        ZeroedBuffer b;
        if (size == 0) return b;
        b.m_data.reset(static_cast<std::uint8_t*>(std::calloc(size, 1)));
        if (b.m_data) b.m_size = size;
        return b;
    }
    std::size_t size() const { return m_size; }
    std::span<std::uint8_t> bytes() { return {m_data.get(), m_size}; }

private:
    struct Free {
        void operator()(std::uint8_t* p) const { std::free(p); }
    };
    std::unique_ptr<std::uint8_t, Free> m_data;
    std::size_t m_size = 0;
};

}  // namespace fr
