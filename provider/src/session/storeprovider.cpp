// The registry of store implementations: see storeprovider.h.
#include "session/storeprovider.h"

#include <algorithm>
#include <mutex>

namespace orba::store {
namespace {

std::recursive_mutex registryLock;  // Register calls Unregister

std::vector<std::shared_ptr<IStoreProvider>>& Registry() {
  static std::vector<std::shared_ptr<IStoreProvider>> providers;
  return providers;
}

bool Serves(const std::shared_ptr<IStoreProvider>& provider, const MAPIUID& mdbProvider) {
  MAPIUID served = provider->MdbProvider();
  return IsEqualMAPIUID(&served, &mdbProvider);
}

}  // namespace

void RegisterStoreProvider(std::shared_ptr<IStoreProvider> provider) {
  std::lock_guard guard(registryLock);
  UnregisterStoreProvider(provider->MdbProvider());
  Registry().push_back(std::move(provider));
}

void UnregisterStoreProvider(const MAPIUID& mdbProvider) {
  std::lock_guard guard(registryLock);
  std::erase_if(Registry(), [&](const auto& provider) { return Serves(provider, mdbProvider); });
}

std::shared_ptr<IStoreProvider> FindStoreProvider(const MAPIUID& mdbProvider) {
  std::lock_guard guard(registryLock);
  for (const auto& provider : Registry())
    if (Serves(provider, mdbProvider)) return provider;
  return nullptr;
}

}  // namespace orba::store
