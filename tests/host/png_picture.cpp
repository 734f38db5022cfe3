// PNG decoding through WIC, converted to 32-bit BGR rows.
#include "png_picture.h"

#include <wincodec.h>

namespace {

template <typename T> void Release(T*& pointer) {
    if (pointer != nullptr) {
        pointer->Release();
        pointer = nullptr;
    }
}

HRESULT Decode(IWICImagingFactory* factory, const std::wstring& path, Picture& picture) {
    IWICBitmapDecoder* decoder = nullptr;
    IWICBitmapFrameDecode* frame = nullptr;
    IWICBitmapSource* converted = nullptr;
    UINT width = 0;
    UINT height = 0;
    HRESULT result = factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ,
                                                        WICDecodeMetadataCacheOnDemand, &decoder);
    if (SUCCEEDED(result)) {
        result = decoder->GetFrame(0, &frame);
    }
    if (SUCCEEDED(result)) {
        result = WICConvertBitmapSource(GUID_WICPixelFormat32bppBGR, frame, &converted);
    }
    if (SUCCEEDED(result)) {
        result = converted->GetSize(&width, &height);
    }
    if (SUCCEEDED(result)) {
        picture.Width = static_cast<int>(width);
        picture.Height = static_cast<int>(height);
        picture.Pixels.assign(static_cast<size_t>(width) * height, 0);
        result = converted->CopyPixels(nullptr, width * 4, width * height * 4,
                                       reinterpret_cast<BYTE*>(picture.Pixels.data()));
    }
    Release(converted);
    Release(frame);
    Release(decoder);
    return result;
}

} // namespace

COLORREF Picture::At(int x, int y) const {
    const uint32_t pixel = Pixels[static_cast<size_t>(y) * Width + x];
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

HRESULT LoadPng(const std::wstring& path, Picture& picture) {
    const HRESULT initialized = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IWICImagingFactory* factory = nullptr;
    HRESULT result = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IWICImagingFactory, reinterpret_cast<void**>(&factory));
    if (SUCCEEDED(result)) {
        result = Decode(factory, path, picture);
    }
    Release(factory);
    if (SUCCEEDED(initialized)) {
        CoUninitialize();
    }
    return result;
}
