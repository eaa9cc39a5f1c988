// The file writer (the CLSID_FileWriter role): one byte-stream input that
// writes the file named through IFileSinkFilter. A multiplexer writes
// through the input pin's IStream and commits when the file is complete;
// samples received through IMemInputPin are written at the byte offset of
// their start time. A sink: it posts EC_COMPLETE at the end of its stream.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <memory>
#include <mutex>
#include <string>

#include "platform/dshow/BaseFilter.h"
#include "platform/dshow/FileSinkName.h"

namespace plat {

class WriterInputPin;

class FileWriter final : public dshow::BaseFilter, public IFileSinkFilter2, public IAMFilterMiscFlags {
public:
    static HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** out);
    FileWriter();

    COM_BEGIN_QI()
        DSHOW_FILTER_QI()
        COM_QI(IFileSinkFilter)
        COM_QI(IFileSinkFilter2)
        COM_QI(IAMFilterMiscFlags)
    COM_END_QI()

    // IFileSinkFilter / IFileSinkFilter2
    STDMETHODIMP SetFileName(LPCOLESTR name, const AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP GetCurFile(LPOLESTR* name, AM_MEDIA_TYPE* mt) override;
    STDMETHODIMP SetMode(DWORD flags) override;
    STDMETHODIMP GetMode(DWORD* flags) override;
    // IAMFilterMiscFlags
    STDMETHODIMP_(ULONG) GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }

    // The file, for the input pin (any thread).
    HRESULT WriteAt(ULONGLONG offset, const BYTE* data, ULONG size);
    HRESULT Close();
    ULONGLONG Size();
    void SetStreamClient(bool open) { m_streamClient = open; }

protected:
    size_t PinCount() override { return 1; }
    dshow::BasePin* PinAt(size_t index) override;
    HRESULT OnActivate() override;
    void OnDeactivate() override;


private:
    ~FileWriter() override;
    HRESULT OpenLocked();

    std::unique_ptr<WriterInputPin> m_input;
    std::mutex m_fileLock;
    dshow::FileSinkName m_name;
    DWORD m_mode = 0;
    HANDLE m_file = INVALID_HANDLE_VALUE;
    ULONGLONG m_highWater = 0;
    bool m_streamClient = false;  // written through IStream, not committed yet
};

}  // namespace plat
