#include "ScreenCapture.h"

#include "ScopedHandle.h"

#include <wincodec.h>

#include <algorithm>
#include <map>

namespace {

struct DeleteDcFn { void operator()(HDC dc) const { DeleteDC(dc); } };
struct DeleteObjectFn { void operator()(HGDIOBJ obj) const { DeleteObject(obj); } };
using unique_hdc = kx::unique_any<HDC, nullptr, DeleteDcFn>;
using unique_gdiobj = kx::unique_any<HGDIOBJ, nullptr, DeleteObjectFn>;

class ScreenDc {
public:
    ScreenDc() : m_dc(GetDC(nullptr)) {}
    ~ScreenDc() { if (m_dc) ReleaseDC(nullptr, m_dc); }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    HDC get() const { return m_dc; }

private:
    HDC m_dc;
};

std::wstring HrText(const wchar_t* what, HRESULT hr) {
    wchar_t buf[96];
    _snwprintf(buf, 96, L"%ls failed (0x%08lx)", what, static_cast<unsigned long>(hr));
    buf[95] = 0;
    return buf;
}

}  // namespace

bool CaptureScreen(const RECT& rect, Image& image) {
    int w = rect.right - rect.left, h = rect.bottom - rect.top;
    if (w <= 0 || h <= 0) return false;
    ScreenDc screen;
    unique_hdc mem(CreateCompatibleDC(screen.get()));
    if (!screen.get() || !mem) return false;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    unique_gdiobj dib(CreateDIBSection(mem.get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dib || !bits) return false;
    HGDIOBJ old = SelectObject(mem.get(), dib.get());
    BOOL ok = BitBlt(mem.get(), 0, 0, w, h, screen.get(), rect.left, rect.top, SRCCOPY | CAPTUREBLT);
    GdiFlush();
    SelectObject(mem.get(), old);
    if (!ok) return false;
    image.width = w;
    image.height = h;
    const uint32_t* p = static_cast<const uint32_t*>(bits);
    image.pixels.assign(p, p + static_cast<size_t>(w) * h);
    for (uint32_t& px : image.pixels) px &= 0xFFFFFF;
    return true;
}

bool SavePng(const Image& image, const std::wstring& path, std::wstring& error) {
    kx::com_ptr<IWICImagingFactory> factory;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                  factory.put_void());
    if (FAILED(hr)) { error = HrText(L"creating the imaging factory", hr); return false; }
    kx::com_ptr<IWICStream> stream;
    kx::com_ptr<IWICBitmapEncoder> encoder;
    kx::com_ptr<IWICBitmapFrameEncode> frame;
    kx::com_ptr<IPropertyBag2> props;
    if (FAILED(hr = factory->CreateStream(stream.put())) ||
        FAILED(hr = stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE))) {
        error = HrText(L"opening the file", hr);
        return false;
    }
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    if (FAILED(hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put())) ||
        FAILED(hr = encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) ||
        FAILED(hr = encoder->CreateNewFrame(frame.put(), props.put())) || FAILED(hr = frame->Initialize(props.get())) ||
        FAILED(hr = frame->SetSize(static_cast<UINT>(image.width), static_cast<UINT>(image.height))) ||
        FAILED(hr = frame->SetPixelFormat(&format))) {
        error = HrText(L"preparing the PNG encoder", hr);
        return false;
    }
    if (format != GUID_WICPixelFormat24bppBGR) { error = L"the PNG encoder refuses 24-bit pixels"; return false; }
    UINT stride = (static_cast<UINT>(image.width) * 3 + 3) & ~3u;
    std::vector<BYTE> rows(static_cast<size_t>(stride) * image.height);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            uint32_t px = image.pixels[static_cast<size_t>(y) * image.width + x];
            BYTE* out = &rows[static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 3];
            out[0] = static_cast<BYTE>(px), out[1] = static_cast<BYTE>(px >> 8), out[2] = static_cast<BYTE>(px >> 16);
        }
    if (FAILED(hr = frame->WritePixels(static_cast<UINT>(image.height), stride, static_cast<UINT>(rows.size()),
                                       rows.data())) ||
        FAILED(hr = frame->Commit()) || FAILED(hr = encoder->Commit())) {
        error = HrText(L"writing the PNG", hr);
        return false;
    }
    return true;
}

size_t DifferentPixels(const Image& a, const Image& b) {
    int w = std::min(a.width, b.width), h = std::min(a.height, b.height);
    size_t n = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            n += a.pixels[static_cast<size_t>(y) * a.width + x] != b.pixels[static_cast<size_t>(y) * b.width + x];
    return n;
}

size_t InkPixels(const Image& image) {
    std::map<uint32_t, size_t> counts;
    for (uint32_t px : image.pixels) ++counts[px];
    size_t background = 0;
    for (const auto& c : counts) background = std::max(background, c.second);
    return image.pixels.size() - background;
}
