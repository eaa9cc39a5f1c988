#include "platform/filters/FileWriter.h"

#include <algorithm>

#include "framework/com/WinText.h"
#include "platform/dshow/Pins.h"
#include "platform/dshow/Win32Files.h"

namespace plat {

class WriterInputPin final : public dshow::InputPin, public IStream {
public:
    explicit WriterInputPin(FileWriter& writer) : InputPin(writer, u"in"), m_writer(writer) {}

    DSHOW_PIN_UNKNOWN(InputPin)

    // ISequentialStream / IStream: what a multiplexer needs.
    STDMETHODIMP Read(void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    STDMETHODIMP Write(const void* data, ULONG size, ULONG* written) override {
        if (written) *written = 0;
        if (!data && size) return STG_E_INVALIDPOINTER;
        m_writer.SetStreamClient(true);
        const HRESULT hr = m_writer.WriteAt(m_pos, static_cast<const BYTE*>(data), size);
        if (FAILED(hr)) return hr;
        m_pos += size;
        if (written) *written = size;
        return S_OK;
    }
    STDMETHODIMP Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPos) override {
        LONGLONG base = 0;
        if (origin == STREAM_SEEK_CUR) base = static_cast<LONGLONG>(m_pos);
        else if (origin == STREAM_SEEK_END) base = static_cast<LONGLONG>(m_writer.Size());
        else if (origin != STREAM_SEEK_SET) return STG_E_INVALIDFUNCTION;
        const LONGLONG to = base + move.QuadPart;
        if (to < 0) return STG_E_INVALIDFUNCTION;
        m_pos = static_cast<ULONGLONG>(to);
        if (newPos) newPos->QuadPart = m_pos;
        return S_OK;
    }
    STDMETHODIMP SetSize(ULARGE_INTEGER) override { return S_OK; }
    STDMETHODIMP CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    STDMETHODIMP Commit(DWORD) override {
        m_writer.SetStreamClient(false);
        return m_writer.Close();
    }
    STDMETHODIMP Revert() override { return E_NOTIMPL; }
    STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
    STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
    STDMETHODIMP Stat(STATSTG* stat, DWORD) override {
        if (!stat) return STG_E_INVALIDPOINTER;
        *stat = STATSTG{};
        stat->type = STGTY_STREAM;
        stat->cbSize.QuadPart = m_writer.Size();
        return S_OK;
    }
    STDMETHODIMP Clone(IStream**) override { return E_NOTIMPL; }

    HRESULT Active() override {
        m_pos = 0;
        return InputPin::Active();
    }

protected:
    HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override {
        return IsEqualGUID(mt.majortype, MEDIATYPE_Stream) ? S_OK : S_FALSE;
    }
    void* QueryExtra(REFIID iid) override {
        if (IsEqualIID(iid, IID_IStream) || IsEqualIID(iid, IID_ISequentialStream)) return static_cast<IStream*>(this);
        return InputPin::QueryExtra(iid);
    }
    // Samples carry their byte offset as start time.
    HRESULT OnReceive(IMediaSample* sample) override {
        REFERENCE_TIME start = 0, stop = 0;
        if (FAILED(sample->GetTime(&start, &stop))) start = static_cast<REFERENCE_TIME>(m_pos);
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        const LONG size = sample->GetActualDataLength();
        const HRESULT hr = m_writer.WriteAt(static_cast<ULONGLONG>(start), data, static_cast<ULONG>(size));
        if (SUCCEEDED(hr)) m_pos = static_cast<ULONGLONG>(start) + static_cast<ULONG>(size);
        return hr;
    }
    HRESULT OnEndOfStream() override {
        m_writer.Close();
        m_writer.NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(&m_writer)));
        return S_OK;
    }

private:
    FileWriter& m_writer;
    ULONGLONG m_pos = 0;  // the stream's position (the multiplexer's thread)
};

FileWriter::FileWriter() : BaseFilter(CLSID_FileWriter), m_input(std::make_unique<WriterInputPin>(*this)) {}

FileWriter::~FileWriter() { Close(); }

HRESULT FileWriter::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
    if (outer) return CLASS_E_NOAGGREGATION;
    return com::CreateAndQuery<FileWriter>(iid, out);
}

dshow::BasePin* FileWriter::PinAt(size_t) { return m_input.get(); }

STDMETHODIMP FileWriter::SetFileName(LPCOLESTR name, const AM_MEDIA_TYPE*) {
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    return m_name.Set(name, State());
}

STDMETHODIMP FileWriter::GetCurFile(LPOLESTR* name, AM_MEDIA_TYPE* mt) {
    if (!name) return E_POINTER;
    *name = nullptr;
    std::lock_guard<std::recursive_mutex> lock(StateLock());
    if (mt) {
        *mt = AM_MEDIA_TYPE{};
        if (m_input->IsConnected()) m_input->ConnectedType().CopyTo(mt);
        else mt->majortype = MEDIATYPE_Stream;
    }
    return m_name.CopyTo(name);
}

STDMETHODIMP FileWriter::SetMode(DWORD flags) {
    if (flags & ~static_cast<DWORD>(AM_FILE_OVERWRITE)) return E_INVALIDARG;
    m_mode = flags;
    return S_OK;
}

STDMETHODIMP FileWriter::GetMode(DWORD* flags) {
    if (!flags) return E_POINTER;
    *flags = m_mode;
    return S_OK;
}

HRESULT FileWriter::OnActivate() {
    std::lock_guard<std::mutex> lock(m_fileLock);
    // A file left open by a client that never committed ends here.
    if (m_file != INVALID_HANDLE_VALUE) {
        CloseHandle(m_file);
        m_file = INVALID_HANDLE_VALUE;
    }
    m_streamClient = false;
    if (m_name.Empty()) return m_input->IsConnected() ? E_FAIL : S_OK;
    return OpenLocked();
}

void FileWriter::OnDeactivate() {
    // A multiplexer writing through IStream finishes the file when it
    // stops, which is after us: the file stays open until it commits.
    if (!m_streamClient) Close();
}

HRESULT FileWriter::OpenLocked() {
    m_file = dshow::OpenFileForWriting(m_name.Get(), (m_mode & AM_FILE_OVERWRITE) ? CREATE_ALWAYS : OPEN_ALWAYS);
    if (m_file == INVALID_HANDLE_VALUE) return HRESULT_FROM_WIN32(GetLastError());
    m_highWater = 0;
    return S_OK;
}

HRESULT FileWriter::WriteAt(ULONGLONG offset, const BYTE* data, ULONG size) {
    std::lock_guard<std::mutex> lock(m_fileLock);
    if (m_file == INVALID_HANDLE_VALUE) return E_UNEXPECTED;
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(m_file, to, nullptr, FILE_BEGIN)) return HRESULT_FROM_WIN32(GetLastError());
    DWORD written = 0;
    if (size && (!WriteFile(m_file, data, size, &written, nullptr) || written != size))
        return HRESULT_FROM_WIN32(GetLastError() ? GetLastError() : ERROR_DISK_FULL);
    m_highWater = std::max(m_highWater, offset + size);
    return S_OK;
}

HRESULT FileWriter::Close() {
    std::lock_guard<std::mutex> lock(m_fileLock);
    if (m_file == INVALID_HANDLE_VALUE) return S_OK;
    // An existing longer file keeps no stale bytes behind ours.
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(m_highWater);
    HRESULT hr = S_OK;
    if (!SetFilePointerEx(m_file, end, nullptr, FILE_BEGIN) || !SetEndOfFile(m_file))
        hr = HRESULT_FROM_WIN32(GetLastError());
    CloseHandle(m_file);
    m_file = INVALID_HANDLE_VALUE;
    return hr;
}

ULONGLONG FileWriter::Size() {
    std::lock_guard<std::mutex> lock(m_fileLock);
    return m_highWater;
}

}  // namespace plat
