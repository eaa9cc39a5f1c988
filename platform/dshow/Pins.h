// Input and output pins of the platform's filters. Pins live as long as
// their filter and count references on it. Connections change only while
// the filter is stopped, under the filter's state lock.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <atomic>
#include <string>
#include <vector>

#include "framework/com/ComPtr.h"
#include "platform/dshow/BaseFilter.h"
#include "platform/dshow/MediaType.h"

namespace dshow {

class BasePin : public IPin {
public:
    BasePin(BaseFilter& filter, PIN_DIRECTION direction, std::u16string name);
    virtual ~BasePin() = default;
    BasePin(const BasePin&) = delete;
    BasePin& operator=(const BasePin&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return m_filter.Unknown()->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return m_filter.Unknown()->Release(); }

    STDMETHODIMP Disconnect() override;
    STDMETHODIMP ConnectedTo(IPin** pin) override;
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP QueryPinInfo(PIN_INFO* info) override;
    STDMETHODIMP QueryDirection(PIN_DIRECTION* dir) override;
    STDMETHODIMP QueryId(LPWSTR* id) override;
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** out) override;
    STDMETHODIMP QueryInternalConnections(IPin** pins, ULONG* count) override;

    const std::u16string& Name() const { return m_name; }
    bool IsConnected() const { return static_cast<bool>(m_peer); }
    IPin* Peer() const { return m_peer.Get(); }
    const MediaType& ConnectedType() const { return m_mt; }
    BaseFilter& Filter() const { return m_filter; }

    // Filter state changes (under the filter's state lock).
    virtual HRESULT Active() { return S_OK; }
    virtual void Inactive() {}

protected:
    virtual HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) = 0;
    // The types this pin offers, in order of preference.
    virtual bool GetMediaType(size_t index, MediaType& out) { return false; }
    // After the peer accepted; a failure undoes the connection.
    virtual HRESULT CompleteConnect(IPin* peer) { return S_OK; }
    virtual void BreakConnect() {}
    // Further interfaces of a derived pin (already cast), or null.
    virtual void* QueryExtra(REFIID iid) { return nullptr; }

    BaseFilter& m_filter;
    PIN_DIRECTION m_direction;
    std::u16string m_name;
    com::ComPtr<IPin> m_peer;
    MediaType m_mt;
};

class OutputPin : public BasePin {
public:
    OutputPin(BaseFilter& filter, std::u16string name) : BasePin(filter, PINDIR_OUTPUT, std::move(name)) {}

    STDMETHODIMP Connect(IPin* receiver, const AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
    STDMETHODIMP EndOfStream() override { return E_UNEXPECTED; }
    STDMETHODIMP BeginFlush() override { return E_UNEXPECTED; }
    STDMETHODIMP EndFlush() override { return E_UNEXPECTED; }
    STDMETHODIMP NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

    HRESULT Active() override;
    void Inactive() override;

    // Streaming side (the filter's streaming thread or caller).
    HRESULT GetDeliveryBuffer(IMediaSample** sample);
    HRESULT Deliver(IMediaSample* sample);
    HRESULT DeliverEndOfStream();
    HRESULT DeliverBeginFlush();
    HRESULT DeliverEndFlush();

protected:
    // Fills in the buffers wanted (count, size); req holds what the peer asked for.
    virtual void DecideBufferSize(ALLOCATOR_PROPERTIES& props) = 0;
    // Pins that hand data over another way (IStream) need no allocator.
    virtual bool UsesAllocator() const { return true; }
    HRESULT CompleteConnect(IPin* peer) override;
    void BreakConnect() override;

    com::ComPtr<IMemInputPin> m_input;
    com::ComPtr<IMemAllocator> m_allocator;

private:
    HRESULT TryConnect(IPin* receiver, const AM_MEDIA_TYPE& mt);
};

class InputPin : public BasePin, public IMemInputPin {
public:
    InputPin(BaseFilter& filter, std::u16string name) : BasePin(filter, PINDIR_INPUT, std::move(name)) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return BasePin::QueryInterface(iid, out); }
    STDMETHODIMP_(ULONG) AddRef() override { return BasePin::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return BasePin::Release(); }

    STDMETHODIMP Connect(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
    STDMETHODIMP ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;
    STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    // IMemInputPin
    STDMETHODIMP GetAllocator(IMemAllocator** out) override;
    STDMETHODIMP NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
    STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) override { return E_NOTIMPL; }
    STDMETHODIMP Receive(IMediaSample* sample) override;
    STDMETHODIMP ReceiveMultiple(IMediaSample** samples, LONG count, LONG* processed) override;
    STDMETHODIMP ReceiveCanBlock() override { return S_OK; }

    HRESULT Active() override;
    bool AtEndOfStream() const { return m_eos; }
    bool Flushing() const { return m_flushing; }

protected:
    virtual HRESULT OnReceive(IMediaSample* sample) = 0;
    virtual HRESULT OnEndOfStream() { return S_OK; }
    virtual void OnBeginFlush() {}
    virtual void OnEndFlush() {}
    void* QueryExtra(REFIID iid) override;
    void BreakConnect() override { m_allocator = nullptr; }

    std::atomic<bool> m_flushing{false};
    std::atomic<bool> m_eos{false};
    com::ComPtr<IMemAllocator> m_allocator;
};

// IEnumMediaTypes over a snapshot; Next hands out CoTaskMemAlloc'd copies.
HRESULT CreateMediaTypeEnum(std::vector<MediaType> types, IEnumMediaTypes** out);

// The filter a pin belongs to (counted), or null.
com::ComPtr<IBaseFilter> FilterOf(IPin* pin);

}  // namespace dshow

// For pins that add interfaces beside IPin: their IUnknown goes to BasePin.
#define DSHOW_PIN_UNKNOWN(Base)                                                             \
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return Base::QueryInterface(iid, out); } \
    STDMETHODIMP_(ULONG) AddRef() override { return Base::AddRef(); }                      \
    STDMETHODIMP_(ULONG) Release() override { return Base::Release(); }
