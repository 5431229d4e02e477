// Every test in this executable runs with the simplified-Chinese profile,
// whatever the machine's locale.
#include "core/RegionalSettings.h"

#include <gtest/gtest.h>

namespace {

class PinnedSettings : public testing::Environment {
public:
    void SetUp() override { kestrum::setRegionalSettings(kestrum::RegionalSettings::simplifiedChinese()); }
};

const auto *const pinned = testing::AddGlobalTestEnvironment(new PinnedSettings);

} // namespace
