// Icons made from bitmaps: CreateIconIndirect keeps copies of the caller's
// bitmaps, GetIconInfo hands out new copies, DestroyIcon frees them.
#include "gdi_internal.h"
#include "desktop_internal.h"

#include <cstring>

using namespace gdi;

namespace {

// The shared icons of LoadIconA (cursor.cpp) lie in this range.
constexpr uintptr_t kSharedIconBase = uintptr_t(4) << 32;
constexpr uintptr_t kSharedIconEnd = uintptr_t(5) << 32;

}  // namespace

namespace gdi {

std::unique_ptr<Bitmap> CopyBitmap(const Bitmap& b)
{
    std::unique_ptr<Bitmap> copy = NewBitmap(b.width, b.height, b.format, !b.topDown);
    if (copy == nullptr)
        return nullptr;
    std::memcpy(copy->bits, b.bits, size_t(b.stride * b.height));
    copy->dibSection = b.dibSection;
    copy->compression = b.compression;
    return copy;
}

}  // namespace gdi

HICON WINAPI CreateIconIndirect(PICONINFO info)
{
    if (desktop::detail::ShouldFail("CreateIconIndirect") || info == nullptr)
        return nullptr;
    Registry& r = Gdi();
    std::lock_guard<std::mutex> lock(r.mutex);
    const Bitmap* mask = r.FindBitmap(info->hbmMask);
    const Bitmap* color = r.FindBitmap(info->hbmColor);
    if (mask == nullptr || (info->hbmColor != nullptr && color == nullptr))
        return nullptr;
    Icon icon;
    icon.fIcon = info->fIcon;
    icon.xHotspot = info->xHotspot;
    icon.yHotspot = info->yHotspot;
    icon.mask = CopyBitmap(*mask);
    if (icon.mask == nullptr)
        return nullptr;
    if (color != nullptr) {
        icon.color = CopyBitmap(*color);
        if (icon.color == nullptr)
            return nullptr;
    }
    const uintptr_t handle = kIconHandleBase + ++r.iconSerial * 16;
    r.icons[handle] = std::move(icon);
    return reinterpret_cast<HICON>(handle);
}

BOOL WINAPI GetIconInfo(HICON icon, PICONINFO info)
{
    if (desktop::detail::ShouldFail("GetIconInfo") || info == nullptr)
        return FALSE;
    Registry& r = Gdi();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto it = r.icons.find(reinterpret_cast<uintptr_t>(icon));
    if (it == r.icons.end())
        return FALSE;
    const Icon& found = it->second;
    std::unique_ptr<Bitmap> mask = CopyBitmap(*found.mask);
    std::unique_ptr<Bitmap> color = found.color ? CopyBitmap(*found.color) : nullptr;
    if (mask == nullptr || (found.color && color == nullptr))
        return FALSE;
    info->fIcon = found.fIcon;
    info->xHotspot = found.xHotspot;
    info->yHotspot = found.yHotspot;
    info->hbmMask = r.AddBitmap(std::move(mask));
    info->hbmColor = color ? r.AddBitmap(std::move(color)) : nullptr;
    return TRUE;
}

BOOL WINAPI DestroyIcon(HICON icon)
{
    const uintptr_t handle = reinterpret_cast<uintptr_t>(icon);
    if (handle >= kSharedIconBase && handle < kSharedIconEnd)
        return TRUE;  // shared: never freed
    Registry& r = Gdi();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.icons.erase(handle) != 0 ? TRUE : FALSE;
}
