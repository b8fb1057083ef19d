#include "platform/graphics/IccTransformCache.h"

#include <lcms2.h>

#include <list>
#include <mutex>

#include "platform/foundation/Log.h"

namespace pellora {

namespace {

constexpr std::size_t kCachedTransforms = 8;

struct CacheEntry {
    std::vector<std::uint8_t> profile;
    IccSourceFormat format;
    std::shared_ptr<const IccTransform> transform;
};

std::mutex cacheMutex;
std::list<CacheEntry> cache;  // most recently used first

cmsColorSpaceSignature expectedSignature(ColorModel model) {
    switch (model) {
    case ColorModel::Gray: return cmsSigGrayData;
    case ColorModel::RGB: return cmsSigRgbData;
    case ColorModel::CMYK: return cmsSigCmykData;
    }
    return cmsSigRgbData;
}

cmsUInt32Number lcmsFormat(const IccSourceFormat& format) {
    const int pixelType = format.colorModel == ColorModel::Gray  ? PT_GRAY
                          : format.colorModel == ColorModel::RGB ? PT_RGB
                                                                 : PT_CMYK;
    const int colours = format.colorModel == ColorModel::Gray ? 1 : format.colorModel == ColorModel::RGB ? 3 : 4;
    return COLORSPACE_SH(pixelType) | CHANNELS_SH(colours) | BYTES_SH(format.bytesPerSample) |
           EXTRA_SH(format.hasAlpha ? 1 : 0) | FLAVOR_SH(format.inverted ? 1 : 0);
}

std::shared_ptr<const IccTransform> createTransform(const std::vector<std::uint8_t>& profile,
                                                    const IccSourceFormat& format) {
    cmsHPROFILE source = cmsOpenProfileFromMem(profile.data(), cmsUInt32Number(profile.size()));
    if (source == nullptr) {
        Log::line("IccTransformCache: the embedded ICC profile cannot be read; the image is treated as untagged");
        return nullptr;
    }
    if (cmsGetColorSpace(source) != expectedSignature(format.colorModel)) {
        cmsCloseProfile(source);
        Log::line("IccTransformCache: the embedded ICC profile does not match the image's colour model; "
                  "the image is treated as untagged");
        return nullptr;
    }
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHTRANSFORM handle = cmsCreateTransform(source, lcmsFormat(format), srgb, TYPE_RGBA_8, INTENT_PERCEPTUAL,
                                              cmsFLAGS_NOCACHE);
    cmsCloseProfile(srgb);
    cmsCloseProfile(source);
    if (handle == nullptr) {
        Log::line("IccTransformCache: no colour transform can be made from the embedded ICC profile; "
                  "the image is treated as untagged");
        return nullptr;
    }
    return std::make_shared<const IccTransform>(handle);
}

} // namespace

IccTransform::~IccTransform() {
    cmsDeleteTransform(static_cast<cmsHTRANSFORM>(_handle));
}

void IccTransform::toRgba(const void* in, std::uint8_t* rgba, std::uint32_t pixels) const {
    cmsDoTransform(static_cast<cmsHTRANSFORM>(_handle), in, rgba, pixels);
}

std::shared_ptr<const IccTransform> IccTransformCache::transformToSrgb(const std::vector<std::uint8_t>& profile,
                                                                       const IccSourceFormat& format) {
    const std::lock_guard lock(cacheMutex);
    for (auto entry = cache.begin(); entry != cache.end(); ++entry) {
        if (entry->format == format && entry->profile == profile) {
            cache.splice(cache.begin(), cache, entry);
            return cache.front().transform;
        }
    }
    auto transform = createTransform(profile, format);
    if (transform == nullptr) {
        return nullptr;  // not cached: a broken profile is rare, and each draw reports it
    }
    cache.push_front(CacheEntry{profile, format, transform});
    if (cache.size() > kCachedTransforms) {
        cache.pop_back();
    }
    return transform;
}

} // namespace pellora
