#include "TransportChoice.h"

#include "FaultPlan.h"
#include "LibusbTransport.h"
#include "VirtualHandsetTransport.h"
#include "VirtualHandsets.h"

namespace morvak {

std::unique_ptr<ITransport> MakeTransport(const TransportChoice& choice, std::string& error,
                                          VirtualHandsetTransport** virtualHandset) {
  if (virtualHandset != nullptr) *virtualHandset = nullptr;
  if (!choice.virtualHandset) return std::make_unique<CLibusbTransport>(choice.configPath);
  FaultPlan plan;
  if (!ParseFaultPlan(choice.faults, plan, error)) return nullptr;
  ApplyProgramDefaults(plan);
  auto handset = std::make_unique<VirtualHandsetTransport>(plan);
  if (virtualHandset != nullptr) *virtualHandset = handset.get();
  return handset;
}

}  // namespace morvak
