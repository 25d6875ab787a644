#pragma once

// Records for the setup pages' rule tests: every byte a pattern of its own, so that a rule that
// writes outside the fields its page owns is caught.
#include "wire/config_record.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace kalder::test {

inline ConfigRecord patternRecord(std::uint8_t major, std::uint8_t minor) {
    std::vector<std::byte> bytes(kConfigRecordCapacity);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::byte>((i * 13 + 5) & 0x3F); // small: valid in any field
    bytes[0] = std::byte{major};
    bytes[1] = std::byte{minor};
    return ConfigRecord::fromRecordBytes(bytes);
}

// Every byte of `after` outside `owned` equals the byte of `before`.
inline void expectOnlyFieldsChanged(const ConfigRecord& before, const ConfigRecord& after,
                                    std::initializer_list<const ConfigField*> owned) {
    ASSERT_EQ(before.bytes().size(), after.bytes().size());
    for (std::size_t i = 0; i < before.bytes().size(); ++i) {
        bool inOwned = false;
        for (const ConfigField* f : owned)
            inOwned = inOwned || (i >= f->offset && i < f->end());
        if (!inOwned) {
            ASSERT_EQ(before.bytes()[i], after.bytes()[i]) << "byte " << i << " changed";
        }
    }
    EXPECT_EQ(before.seal().size(), after.seal().size());
}

} // namespace kalder::test
