#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace morva {

// A heap-backed table of W x H cells addressed (x, y), x the column from the
// left and y the row from the bottom; cell (x, y) is flat element y*W + x.
// Allocated zero-filled once; never copied by accident.
template <typename T>
class Grid {
public:
    Grid(int width, int height)
        : width_(width), height_(height), cells_(static_cast<std::size_t>(width) * height, T{}) {}
    Grid(const Grid&) = delete;
    Grid& operator=(const Grid&) = delete;
    Grid(Grid&&) noexcept = default;
    Grid& operator=(Grid&&) noexcept = default;

    int Width() const { return width_; }
    int Height() const { return height_; }
    std::size_t Size() const { return cells_.size(); }

    T& operator()(int x, int y) {
        assert(x >= 0 && x < width_ && y >= 0 && y < height_);
        return cells_[static_cast<std::size_t>(y) * width_ + x];
    }
    const T& operator()(int x, int y) const {
        assert(x >= 0 && x < width_ && y >= 0 && y < height_);
        return cells_[static_cast<std::size_t>(y) * width_ + x];
    }
    T* Data() { return cells_.data(); }
    const T* Data() const { return cells_.data(); }
    void Fill(T value) { std::fill(cells_.begin(), cells_.end(), value); }

private:
    int width_;
    int height_;
    std::vector<T> cells_;
};

}  // namespace morva
