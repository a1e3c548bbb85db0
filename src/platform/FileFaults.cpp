#include "platform/FileFaults.h"

#include <mutex>
#include <optional>

namespace tessa::platform {
namespace file_faults_internal {

struct State {
    std::mutex mutex;
    std::optional<FaultPlan> plan;
    int seen = 0;
    int fired = 0;
};

State& state() {
    static State instance;
    return instance;
}

} // namespace file_faults_internal

using file_faults_internal::state;

void injectFileFault(const FaultPlan& plan) {
    std::lock_guard lock(state().mutex);
    state().plan = plan;
    state().seen = 0;
    state().fired = 0;
}

void clearFileFaults() {
    std::lock_guard lock(state().mutex);
    state().plan.reset();
    state().seen = 0;
    state().fired = 0;
}

int fileFaultsFired() {
    std::lock_guard lock(state().mutex);
    return state().fired;
}

namespace fault_internal {

bool due(FileOp op, FileFault* fault) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (!s.plan || (s.plan->ops & uint32_t(op)) == 0)
        return false;
    ++s.seen;
    if (s.seen < s.plan->nth || (s.seen > s.plan->nth && !s.plan->sticky))
        return false;
    ++s.fired;
    *fault = s.plan->fault;
    return true;
}

} // namespace fault_internal

} // namespace tessa::platform
