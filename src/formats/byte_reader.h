// Bounds-checked little-endian reads from bytes that came from outside.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <stdexcept>

namespace vzrm::formats {

// Thrown when input ends early or holds an impossible value; caught where a
// damaged record or chunk is skipped and counted.
struct MalformedInput : std::runtime_error {
    static constexpr std::size_t kNowhere = static_cast<std::size_t>(-1);

    using std::runtime_error::runtime_error;
    MalformedInput(const char* what, std::size_t where) : std::runtime_error(what), at(where) {}

    // Where in the bytes read it was found (a chunk's, for binary XML), when known.
    std::size_t at = kNowhere;
};

// Input that ends before what it declares (the rest of it may still be sound).
struct TruncatedInput : MalformedInput {
    using MalformedInput::MalformedInput;
};

template <typename T>
T LoadLe(const std::uint8_t* p) {
    T value;
    std::memcpy(&value, p, sizeof(T));
    return value;  // little-endian hosts only (x86-64, arm64)
}

class ByteReader {
  public:
    ByteReader(std::span<const std::uint8_t> bytes, std::size_t position = 0)
        : bytes_(bytes), position_(position) {
        if (position > bytes.size()) {
            throw MalformedInput("position beyond the end");
        }
    }

    std::size_t Position() const { return position_; }
    std::size_t Remaining() const { return bytes_.size() - position_; }
    std::span<const std::uint8_t> Bytes() const { return bytes_; }

    void Need(std::size_t count) const {
        if (count > Remaining()) {
            throw TruncatedInput("data cut short", bytes_.size());
        }
    }
    template <typename T>
    T Read() {
        Need(sizeof(T));
        const T value = LoadLe<T>(bytes_.data() + position_);
        position_ += sizeof(T);
        return value;
    }
    template <typename T>
    T Peek(std::size_t ahead = 0) const {
        Need(ahead + sizeof(T));
        return LoadLe<T>(bytes_.data() + position_ + ahead);
    }
    const std::uint8_t* Take(std::size_t count) {
        Need(count);
        const std::uint8_t* p = bytes_.data() + position_;
        position_ += count;
        return p;
    }
    void Skip(std::size_t count) { Take(count); }
    void Seek(std::size_t position) {
        if (position > bytes_.size()) {
            throw MalformedInput("seek beyond the end", position_);
        }
        position_ = position;
    }

  private:
    std::span<const std::uint8_t> bytes_;
    std::size_t position_;
};

}  // namespace vzrm::formats
