#include "framework/forms/Component.h"

#include <algorithm>

namespace forms {

TComponent::TComponent(TComponent* owner) {
    if (owner) {
        if (owner->m_state & csLoading) m_state |= csLoading;
        owner->InsertComponent(this);
    }
}

TComponent::~TComponent() {
    m_state |= csDestroying;
    // A copy: a component told may drop its own links meanwhile.
    const std::vector<TComponent*> told = m_freeNotifies;
    m_freeNotifies.clear();
    for (TComponent* c : told) {
        auto& theirs = c->m_freeNotifies;
        theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
        c->Notification(this, TOperation::opRemove);
    }
    DestroyComponents();
    if (m_owner) m_owner->RemoveComponent(this);
}

TComponent* TComponent::Component(int index) const {
    if (index < 0 || index >= ComponentCount())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return m_components[static_cast<size_t>(index)];
}

int TComponent::ComponentIndex() const {
    if (!m_owner) return -1;
    const auto& list = m_owner->m_components;
    const auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

TComponent* TComponent::FindComponent(const String& name) const {
    if (name.empty()) return nullptr;
    for (TComponent* c : m_components)
        if (SameText(c->m_name, name)) return c;
    return nullptr;
}

void TComponent::DestroyComponents() {
    while (!m_components.empty()) delete m_components.back();
}

void TComponent::FreeNotification(TComponent* other) {
    if (!other || other == this) return;
    if (std::find(m_freeNotifies.begin(), m_freeNotifies.end(), other) == m_freeNotifies.end())
        m_freeNotifies.push_back(other);
    if (std::find(other->m_freeNotifies.begin(), other->m_freeNotifies.end(), this) == other->m_freeNotifies.end())
        other->m_freeNotifies.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* other) {
    if (!other) return;
    m_freeNotifies.erase(std::remove(m_freeNotifies.begin(), m_freeNotifies.end(), other), m_freeNotifies.end());
    auto& theirs = other->m_freeNotifies;
    theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
}

void TComponent::Loaded() { m_state &= ~csLoading; }

void TComponent::LoadedTree() {
    // A copy: Loaded handlers may create components of their own.
    const std::vector<TComponent*> list = m_components;
    for (TComponent* c : list) c->LoadedTree();
    if (m_state & csLoading) Loaded();
}

void TComponent::InsertComponent(TComponent* c) {
    c->m_owner = this;
    m_components.push_back(c);
    Notification(c, TOperation::opInsert);
    for (TComponent* other : m_components)
        if (other != c) other->Notification(c, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* c) {
    const auto it = std::find(m_components.begin(), m_components.end(), c);
    if (it == m_components.end()) return;
    m_components.erase(it);
    c->m_owner = nullptr;
    if (m_state & csDestroying) return;
    Notification(c, TOperation::opRemove);
    for (TComponent* other : m_components) other->Notification(c, TOperation::opRemove);
}

}  // namespace forms
