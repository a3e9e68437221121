// Fuzz target: an NC program read through a misbehaving stream. The last
// bytes of the input are the fault plan (short reads, a failing or empty or
// over-claiming Read, a failing Seek, a wrong size); the rest is the program.
// No fault may crash or hang a run. When the plan only shortens reads, the
// run must draw exactly what it draws from memory: how the bytes arrive
// must never change the picture.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "FaultySource.h"
#include "FuzzRuns.h"

namespace {

FaultPlan TakePlan(FuzzedDataProvider& input) {
  FaultPlan plan;
  // Mostly tiny chunks, so that lines and numbers straddle chunk ends.
  const uint8_t chunk = input.ConsumeIntegral<uint8_t>();
  plan.maxChunk = chunk < 128 ? 1u + chunk % 16u : chunk < 224 ? chunk * 37u : 0u;
  const uint8_t faults = input.ConsumeIntegral<uint8_t>();
  if (faults & 1) {
    plan.readFaultAt = 1u + input.ConsumeIntegralInRange<uint32_t>(0, 300);
    plan.readFault = static_cast<FaultPlan::ReadFault>(
        input.ConsumeIntegralInRange<uint8_t>(0, FaultPlan::ReadFaultCount - 1));
    plan.readFaultSticks = (faults & 2) != 0;
  }
  if (faults & 4) {
    plan.seekFaultAt = 1u + input.ConsumeIntegralInRange<uint32_t>(0, 40);
    plan.seekFaultSticks = (faults & 8) != 0;
  }
  if (faults & 16) plan.sizeError = input.ConsumeIntegralInRange<int32_t>(-300, 300);
  return plan;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const FaultPlan plan = TakePlan(input);
  const uint32_t optionBits = input.ConsumeIntegral<uint32_t>();
  const std::vector<uint8_t> program = input.ConsumeRemainingBytes<uint8_t>();

  PathRun faulty;
  {
    FaultySource source(program.data(), program.size(), plan);
    RunPath(source, faulty);
  }
  CheckPathRun(faulty);

  // The same faults at the same calls give the same picture.
  PathRun again;
  {
    FaultySource source(program.data(), program.size(), plan);
    RunPath(source, again);
  }
  FUZZ_CHECK(SameResults(faulty.ctx, again.ctx));
  FUZZ_CHECK(SameCalls(faulty.graphics.calls, again.graphics.calls));

  if (plan.Harmless()) {
    PathRun memory;
    MemorySource source(program.data(), program.size());
    RunPath(source, memory);
    FUZZ_CHECK(SameResults(faulty.ctx, memory.ctx));
    FUZZ_CHECK(SameCalls(faulty.graphics.calls, memory.graphics.calls));
  }

  ComposeRun composed;
  {
    FaultySource source(program.data(), program.size(), plan);
    RunCompose(source, OptionsFrom(optionBits), composed);
  }
  return 0;
}
