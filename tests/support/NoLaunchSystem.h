// The real platform layer, except that shellOpen starts nothing: for the
// programs that run whole requests on real folders (the crash driver, the
// benchmarks) without starting the installer. The shared operations run over
// this layer's own, so a subclass may change any of those.
#pragma once

#include "platform/NativeSystem.h"

namespace testing_support {

class NoLaunchSystem : public platform::NativeSystem {
public:
    platform::LaunchResult shellOpen(const std::string&, platform::Process* started) override {
        if (started)
            *started = platform::NoProcess;
        return platform::LaunchResult::Started;
    }
};

} // namespace testing_support
