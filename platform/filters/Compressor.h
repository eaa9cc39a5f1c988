// Base of the compressor filters: one input, one output, packets sent on
// downstream by a thread of the output pin's own; the settings a user
// changes on the property page or through the compress-dialogs interface,
// kept per compressor in the registry so that every filter bound from the
// compressor's moniker starts with them.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <ocidl.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/core/Encoder.h"
#include "platform/dshow/BaseFilter.h"
#include "platform/dshow/MediaType.h"
#include "platform/dshow/StartMark.h"
#include "platform/include/EditingServices.h"

namespace plat {

class CompressorInputPin;
class CompressorOutputPin;

class Compressor : public dshow::BaseFilter, public ISpecifyPropertyPages, public IAMVfwCompressDialogs {
public:
    // ISpecifyPropertyPages: the about page, then the settings page.
    STDMETHODIMP GetPages(CAUUID* pages) override;
    // IAMVfwCompressDialogs
    STDMETHODIMP ShowDialog(int dialog, HWND parent) override;
    STDMETHODIMP GetState(LPVOID state, int* size) override;
    STDMETHODIMP SetState(LPVOID state, int size) override;
    STDMETHODIMP SendDriverMessage(int, LONG, LONG) override { return E_NOTIMPL; }

    // For the pins.
    HRESULT CheckInputType(const AM_MEDIA_TYPE& mt);
    bool OutputType(dshow::MediaType& out);
    HRESULT CheckOutputType(const AM_MEDIA_TYPE& mt);
    virtual void OutputBuffers(ALLOCATOR_PROPERTIES& props) = 0;
    HRESULT Receive(IMediaSample* sample);
    HRESULT EndOfStream();
    void BeginFlush();
    void EndFlush();
    IPin* InputPinForSeeking();
    const dshow::MediaType& InputType() const;
    // Whether this compressor takes pictures as planes.
    virtual bool TakesPlanes() const { return false; }

    // The catalogue's name of this compressor.
    virtual std::u16string Name() const = 0;

protected:
    Compressor(const CLSID& clsid, const char* key, const CLSID& settingsPage);
    ~Compressor() override;

    // Media specifics.
    virtual HRESULT AcceptInput(const AM_MEDIA_TYPE& mt) = 0;
    // Opens the encoder for the connected input with the current settings.
    virtual void OpenEncoder() = 0;
    virtual void CloseEncoder() = 0;
    virtual dshow::MediaType MakeOutputType() = 0;
    virtual void Encode(const BYTE* data, LONG size, bool timed, REFERENCE_TIME start) = 0;
    // Encodes a picture given as planes (see PictureSample.h) by a
    // compressor that takes them; false where it cannot, and the picture
    // then comes as bytes.
    virtual bool EncodePlanes(const AVFrame& planes, bool timed, REFERENCE_TIME start) { return false; }
    virtual void FinishEncoding() = 0;
    virtual std::vector<uint8_t> SettingsBytes() const = 0;
    virtual bool ApplySettingsBytes(const uint8_t* data, size_t size) = 0;

    // Sends one packet on; times in reference time.
    void Deliver(const media::EncodedPacket& packet, REFERENCE_TIME start, REFERENCE_TIME stop);
    // Stored settings, read at creation.
    void LoadSettings();
    void SaveSettings();

    size_t PinCount() override { return 2; }
    dshow::BasePin* PinAt(size_t index) override;
    HRESULT OnActivate() override;
    void OnDeactivate() override;

    std::unique_ptr<CompressorInputPin> m_input;
    std::unique_ptr<CompressorOutputPin> m_output;
    std::mutex m_streaming;  // encoder use from the upstream thread
    // The first refusal downstream (or S_OK); later input is refused with
    // it. Written by whichever thread delivers packets.
    std::atomic<HRESULT> m_deliveryResult{S_OK};

private:
    std::string m_key;
    CLSID m_settingsPage;
    dshow::FirstMark m_firstIn, m_firstOut;
};

// The About text of a compressor class (name, what it writes, encoder
// library); empty for other classes.
std::u16string CompressorAboutText(REFCLSID clsid);

}  // namespace plat

#define PLAT_COMPRESSOR_QI()                                \
    DSHOW_FILTER_QI()                                       \
    COM_QI(ISpecifyPropertyPages)                           \
    COM_QI(IAMVfwCompressDialogs)
