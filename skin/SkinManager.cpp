#include "skin/SkinManager.h"

namespace skin {

namespace {

std::unique_ptr<ISkinManager>& Instance() {
    static std::unique_ptr<ISkinManager> manager;
    return manager;
}

std::function<std::unique_ptr<ISkinManager>()>& Factory() {
    static std::function<std::unique_ptr<ISkinManager>()> factory;
    return factory;
}

}  // namespace

ISkinManager* SkinManager() { return Instance().get(); }

ISkinManager& CreateSkinManager() {
    auto& manager = Instance();
    if (!manager) manager = Factory() ? Factory()() : std::make_unique<SkinCallLog>();
    return *manager;
}

void DestroySkinManager() { Instance().reset(); }

void SetSkinManagerFactory(std::function<std::unique_ptr<ISkinManager>()> factory) { Factory() = std::move(factory); }

}  // namespace skin
