#include "TransportChoice.h"

#include <utility>

#include "LibusbTransport.h"
#include "PortPlan.h"
#include "VirtualHandsetTransport.h"
#include "VirtualHandsets.h"

namespace morvak {

std::unique_ptr<ITransport> MakeTransport(const TransportChoice& choice, std::string& error,
                                          VirtualHandsetTransport** virtualHandset) {
  if (virtualHandset != nullptr) *virtualHandset = nullptr;
  if (!choice.virtualHandset) return std::make_unique<LibusbTransport>(choice.configPath);
  PortPlan plan;
  if (!ParsePortPlan(choice.faults, plan, error)) return nullptr;
  ApplyProgramDefaults(plan);
  auto handset = std::make_unique<VirtualHandsetTransport>(std::move(plan), 1);
  if (virtualHandset != nullptr) *virtualHandset = handset.get();
  return handset;
}

std::string PortOfTransport(const ITransport* transport) {
  if (const auto* usb = dynamic_cast<const LibusbTransport*>(transport)) return usb->OpenedPortPath();
  if (dynamic_cast<const VirtualHandsetTransport*>(transport) != nullptr) return VirtualHandsetName(0);
  return {};
}

}  // namespace morvak
