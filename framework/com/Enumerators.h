// IEnumXxx over a snapshot taken when the enumerator is made.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <vector>

#include "framework/com/ComObject.h"

namespace com {

// Copy policies. Hold and Drop keep the snapshot's own items alive; Hand gives the caller
// of Next its copy of one item and returns false when that copy cannot be made.
struct InterfaceCopy {
    template <class T>
    static void Hold(T* p) {
        if (p) p->AddRef();
    }
    template <class T>
    static void Drop(T* p) {
        if (p) p->Release();
    }
    template <class T>
    static bool Hand(T* p, T*& out) {
        out = p;
        Hold(out);
        return true;
    }
};
struct ConnectDataCopy {
    static void Hold(const CONNECTDATA& c) {
        if (c.pUnk) c.pUnk->AddRef();
    }
    static void Drop(const CONNECTDATA& c) {
        if (c.pUnk) c.pUnk->Release();
    }
    static bool Hand(const CONNECTDATA& c, CONNECTDATA& out) {
        out = c;
        Hold(out);
        return true;
    }
};

// Out is what Next hands out: the item itself unless the policy makes something else of it.
template <class IEnum, const IID& kIid, class Item, class Copy, class Out = Item>
class SnapshotEnum final : public ComObjectRoot, public IEnum {
public:
    explicit SnapshotEnum(std::vector<Item> items, size_t pos = 0) : m_items(std::move(items)), m_pos(pos) {
        for (const auto& item : m_items) Copy::Hold(item);
    }

    COM_BEGIN_QI()
        COM_QI_IID(IID_IUnknown, IEnum)
        COM_QI_IID(kIid, IEnum)
    COM_END_QI()

    STDMETHODIMP Next(ULONG count, Out* out, ULONG* fetched) override {
        if (!out || (count > 1 && !fetched)) return E_POINTER;
        ULONG n = 0;
        while (n < count && m_pos < m_items.size()) {
            if (!Copy::Hand(m_items[m_pos], out[n])) break;
            ++m_pos;
            ++n;
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        const size_t left = m_items.size() - m_pos;
        if (count > left) {
            m_pos = m_items.size();
            return S_FALSE;
        }
        m_pos += count;
        return S_OK;
    }
    STDMETHODIMP Reset() override {
        m_pos = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnum** out) override {
        if (!out) return E_POINTER;
        return CreateAndQuery<SnapshotEnum>(kIid, reinterpret_cast<void**>(out), m_items, m_pos);
    }

private:
    ~SnapshotEnum() override {
        for (const auto& item : m_items) Copy::Drop(item);
    }
    std::vector<Item> m_items;
    size_t m_pos;
};

using ConnectionEnum = SnapshotEnum<IEnumConnections, IID_IEnumConnections, CONNECTDATA, ConnectDataCopy>;
using ConnectionPointEnum =
    SnapshotEnum<IEnumConnectionPoints, IID_IEnumConnectionPoints, IConnectionPoint*, InterfaceCopy>;

}  // namespace com
