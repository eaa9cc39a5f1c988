// TObject and TComponent: named objects with an owner that frees them, kept
// in creation order so that later code (the skin engine) can walk a form's
// components by index and class.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "framework/forms/SysUtils.h"

namespace forms {

// Every class of the layer (and of the program built on it) reports its own
// name, as stored form descriptions and class-name comparisons need.
#define FORMS_CLASS(Name) \
    const char* ClassName() const override { return #Name; }

class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;
    virtual const char* ClassName() const { return "TObject"; }
};

using TNotifyEvent = std::function<void(TObject* sender)>;

enum class TOperation { opInsert, opRemove };

// Component state bits.
enum : unsigned {
    csLoading = 1u << 0,     // the owner form is still being built
    csDestroying = 1u << 1,  // the destructor has started
};

class TComponent : public TObject {
public:
    FORMS_CLASS(TComponent)
    explicit TComponent(TComponent* owner);
    ~TComponent() override;

    TComponent* Owner() const { return m_owner; }
    const String& Name() const { return m_name; }
    void SetName(const String& name) { m_name = name; }
    int Tag() const { return m_tag; }
    void SetTag(int tag) { m_tag = tag; }
    unsigned ComponentState() const { return m_state; }

    int ComponentCount() const { return static_cast<int>(m_components.size()); }
    TComponent* Component(int index) const;  // EListError out of range
    int ComponentIndex() const;
    // Case-insensitive, direct components only.
    TComponent* FindComponent(const String& name) const;

    // Frees every owned component, the last created first.
    void DestroyComponents();

    // Asks that other hears (Notification, opRemove) when this component is
    // freed, whoever owns either; the link holds both ways.
    void FreeNotification(TComponent* other);
    void RemoveFreeNotification(TComponent* other);

    // Called once the owner form has been built (depth first over the
    // components); clears csLoading.
    virtual void Loaded();
    void LoadedTree();

protected:
    // Told to the owner and to every owned component when one of them is
    // inserted or removed.
    virtual void Notification(TComponent* component, TOperation operation) {}
    void SetDestroying() { m_state |= csDestroying; }
    void SetLoading() { m_state |= csLoading; }
    void ClearLoading() { m_state &= ~csLoading; }

private:
    void InsertComponent(TComponent* c);
    void RemoveComponent(TComponent* c);

    TComponent* m_owner = nullptr;
    String m_name;
    int m_tag = 0;
    unsigned m_state = 0;
    std::vector<TComponent*> m_components;
    std::vector<TComponent*> m_freeNotifies;
};

}  // namespace forms
