// Screen capture into a DIB section and PNG encoding with the imaging
// component (Wine's windowscodecs), which the COM apartment of the host's
// thread serves.
#include "screen_shot.h"

#include <wincodec.h>

namespace {

template <typename T> class ComHolder {
  public:
    ComHolder() = default;
    ~ComHolder() {
        if (pointer != nullptr) {
            pointer->Release();
        }
    }
    ComHolder(const ComHolder&) = delete;
    ComHolder& operator=(const ComHolder&) = delete;

    T* operator->() const { return pointer; }
    T** Out() { return &pointer; }
    T* Get() const { return pointer; }

  private:
    T* pointer = nullptr;
};

HRESULT EncodePng(const wchar_t* path, const BYTE* rows, int width, int height, UINT stride) {
    ComHolder<IWICImagingFactory> factory;
    HRESULT result =
        CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                         IID_IWICImagingFactory, reinterpret_cast<void**>(factory.Out()));
    if (FAILED(result)) {
        return result;
    }
    ComHolder<IWICStream> stream;
    ComHolder<IWICBitmapEncoder> encoder;
    ComHolder<IWICBitmapFrameEncode> frame;
    ComHolder<IPropertyBag2> properties;
    if (FAILED(result = factory->CreateStream(stream.Out())) ||
        FAILED(result = stream->InitializeFromFilename(path, GENERIC_WRITE)) ||
        FAILED(result = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.Out())) ||
        FAILED(result = encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) ||
        FAILED(result = encoder->CreateNewFrame(frame.Out(), properties.Out())) ||
        FAILED(result = frame->Initialize(properties.Get())) ||
        FAILED(result = frame->SetSize(width, height))) {
        return result;
    }
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    if (FAILED(result = frame->SetPixelFormat(&format))) {
        return result;
    }
    // The encoder may offer another format; the rows are only ever 24-bit BGR.
    if (!IsEqualGUID(format, GUID_WICPixelFormat24bppBGR)) {
        return WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
    }
    if (FAILED(result =
                   frame->WritePixels(height, stride, stride * height, const_cast<BYTE*>(rows))) ||
        FAILED(result = frame->Commit()) || FAILED(result = encoder->Commit())) {
        return result;
    }
    return S_OK;
}

} // namespace

HRESULT SaveScreenShot(const wchar_t* path, int& width, int& height) {
    width = GetSystemMetrics(SM_CXSCREEN);
    height = GetSystemMetrics(SM_CYSCREEN);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down, the order the encoder takes
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HRESULT result = E_FAIL;
    if (memory != nullptr && bitmap != nullptr) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        const BOOL copied = BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY | CAPTUREBLT);
        SelectObject(memory, previous);
        GdiFlush();
        const UINT stride = (static_cast<UINT>(width) * 3 + 3) & ~3u;
        result = copied ? EncodePng(path, static_cast<const BYTE*>(bits), width, height, stride)
                        : HRESULT_FROM_WIN32(GetLastError());
    }
    if (bitmap != nullptr) {
        DeleteObject(bitmap);
    }
    if (memory != nullptr) {
        DeleteDC(memory);
    }
    ReleaseDC(nullptr, screen);
    return result;
}
