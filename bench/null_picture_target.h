#pragma once

#include "decode/picture_target.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <mutex>
#include <vector>

namespace kalder::bench {

// Pictures go nowhere: a benchmark pays only for their hand-off to the picture side.
class NullTarget final : public PictureTarget {
public:
    explicit NullTarget(bool planar) : m_planar(planar) {
        for (auto& buffer : m_buffers)
            buffer.assign(kPictureBufferSize, std::byte{0});
    }
    std::byte* pictureBuffer(unsigned c) override { return m_buffers[c].data(); }
    std::mutex& pictureLock(unsigned c) override { return m_locks[c]; }
    bool isAccelerated() const override { return m_planar; }
    StreamKind mode() const override { return StreamKind::Live; }
    void setPictureSize(unsigned, int, int) override {}
    void prepareSurface(unsigned, int, int) override {}
    void clearPicture(unsigned c) override {
        std::fill(m_buffers[c].begin(), m_buffers[c].end(), std::byte{0});
    }
    void markDecoded(unsigned) override {}
    void drawChannel(unsigned) override {}
    CellSize cellSize(unsigned) const override { return {200, 134}; }
    void countFrame(unsigned) override {}

private:
    bool m_planar;
    std::array<std::vector<std::byte>, kChannelCount> m_buffers;
    std::array<std::mutex, kChannelCount> m_locks;
};

} // namespace kalder::bench
