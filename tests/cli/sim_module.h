#pragma once

#include <gtest/gtest.h>

#include <string>

#include "protocol/units.h"
#include "sim/simulated_module.h"

namespace tovra::cli {

// A simulated module on its own pseudo-terminal for one test.
class SimModule {
  public:
    explicit SimModule(const ModuleSettings& initial = InitialWindowSettings(),
                       const sim::Faults& faults = {})
        : module_(initial, faults) {
        started_ = module_.Start();
    }
    ~SimModule() { module_.Stop(); }

    bool Started() const { return started_; }
    std::string Port() const { return module_.PortPath(); }
    sim::SimulatedModule* operator->() { return &module_; }

  private:
    sim::SimulatedModule module_;
    bool started_ = false;
};

}  // namespace tovra::cli
