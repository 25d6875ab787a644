#pragma once

#include "decode/picture_target.h"

namespace kalder::bench {

// Pictures go nowhere: a benchmark pays only for their hand-off to the picture store.
class NullTarget final : public PictureTarget {
public:
    explicit NullTarget(bool planar) : m_planar(planar) {}
    bool isAccelerated() const override { return m_planar; }
    CellSize cellSize(unsigned) const override { return {200, 134}; }

private:
    bool m_planar;
};

} // namespace kalder::bench
