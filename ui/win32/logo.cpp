#include "ui/win32/logo.h"

#include <wincodec.h>

#include "ui/core/dpi_scale.h"

namespace varnox {

namespace {

// Owns one COM interface pointer.
template <typename T>
class ComRef {
public:
    ComRef() = default;
    ~ComRef()
    {
        if (pointer_ != nullptr)
            pointer_->Release();
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    T** Out() { return &pointer_; }
    T* operator->() const { return pointer_; }
    T* Get() const { return pointer_; }

private:
    T* pointer_ = nullptr;
};

std::string Failed(const char* step, HRESULT result)
{
    char code[16];
    wsprintfA(code, "0x%08lX", static_cast<unsigned long>(result));
    return std::string("the logo cannot be decoded: ") + step + " failed (" + code + ")";
}

}  // namespace

HBITMAP DecodeJpeg(const void* bytes, std::size_t size, PictureSize box, int dpi, std::string& error)
{
    ComRef<IWICImagingFactory> factory;
    HRESULT result = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IWICImagingFactory, reinterpret_cast<void**>(factory.Out()));
    if (FAILED(result)) {
        error = Failed("creating the imaging factory", result);
        return nullptr;
    }
    ComRef<IWICStream> stream;
    ComRef<IWICBitmapDecoder> decoder;
    ComRef<IWICBitmapFrameDecode> frame;
    if (FAILED(result = factory->CreateStream(stream.Out())) ||
        FAILED(result = stream->InitializeFromMemory(static_cast<BYTE*>(const_cast<void*>(bytes)),
                                                     static_cast<DWORD>(size)))) {
        error = Failed("reading the picture", result);
        return nullptr;
    }
    if (FAILED(result = factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                                         decoder.Out())) ||
        FAILED(result = decoder->GetFrame(0, frame.Out()))) {
        error = Failed("decoding the JPEG", result);
        return nullptr;
    }
    UINT width = 0;
    UINT height = 0;
    frame->GetSize(&width, &height);
    // On a dense screen the picture may grow beyond its own pixels.
    const PictureSize fitted = ScaleSize(FitInside({static_cast<int>(width), static_cast<int>(height)}, box), dpi);
    if (fitted.Width <= 0) {
        error = "the logo has no pixels";
        return nullptr;
    }

    ComRef<IWICBitmapScaler> scaler;
    ComRef<IWICFormatConverter> converter;
    if (FAILED(result = factory->CreateBitmapScaler(scaler.Out())) ||
        FAILED(result = scaler->Initialize(frame.Get(), static_cast<UINT>(fitted.Width),
                                           static_cast<UINT>(fitted.Height), WICBitmapInterpolationModeFant)) ||
        FAILED(result = factory->CreateFormatConverter(converter.Out())) ||
        FAILED(result = converter->Initialize(scaler.Get(), GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone,
                                              nullptr, 0.0, WICBitmapPaletteTypeCustom))) {
        error = Failed("scaling the picture", result);
        return nullptr;
    }

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = fitted.Width;
    info.bmiHeader.biHeight = -fitted.Height;  // top row first, as WIC delivers
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    const HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (bitmap == nullptr) {
        error = "the logo cannot be decoded: no memory for the picture";
        return nullptr;
    }
    const UINT stride = static_cast<UINT>(fitted.Width) * 4;
    if (FAILED(result = converter->CopyPixels(nullptr, stride, stride * static_cast<UINT>(fitted.Height),
                                              static_cast<BYTE*>(pixels)))) {
        DeleteObject(bitmap);
        error = Failed("copying the pixels", result);
        return nullptr;
    }
    return bitmap;
}

bool ResourceBytes(int id, const void*& bytes, std::size_t& size)
{
    const HMODULE module = GetModuleHandleW(nullptr);
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    const HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    size = found != nullptr ? SizeofResource(module, found) : 0;
    return bytes != nullptr && size > 0;
}

}  // namespace varnox
