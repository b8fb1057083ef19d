#include "support/TestProfiles.h"

#include <lcms2.h>

#include <array>
#include <cmath>

namespace pellora::test {
namespace {

std::vector<std::uint8_t> saveProfile(cmsHPROFILE profile) {
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::vector<std::uint8_t> bytes(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

// The model press of cmykPressProfile, in sRGB in [0, 1].
std::array<double, 3> press(double c, double m, double y, double k) {
    const double inks[3][3] = {{0, 160 / 255.0, 225 / 255.0}, {230 / 255.0, 0, 140 / 255.0}, {1, 240 / 255.0, 0}};
    const double amounts[3] = {c, m, y};
    std::array<double, 3> rgb{};
    for (int channel = 0; channel < 3; ++channel) {
        double light = 1 - 0.9 * k;
        for (int ink = 0; ink < 3; ++ink) light *= 1 - amounts[ink] * (1 - inks[ink][channel]);
        rgb[std::size_t(channel)] = light;
    }
    return rgb;
}

int sampleAsLab(const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo) {
    const auto rgb = press(in[0] / 65535.0, in[1] / 65535.0, in[2] / 65535.0, in[3] / 65535.0);
    cmsCIELab lab;
    cmsDoTransform(static_cast<cmsHTRANSFORM>(cargo), rgb.data(), &lab, 1);
    cmsFloat2LabEncodedV2(out, &lab);
    return 1;
}

} // namespace

std::vector<std::uint8_t> srgbIccProfile() { return saveProfile(cmsCreate_sRGBProfile()); }

std::vector<std::uint8_t> wideGamutProfile() {
    const cmsCIExyY white{0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 2.2);
    cmsToneCurve* curves[3] = {gamma, gamma, gamma};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(gamma);
    return saveProfile(profile);
}

std::vector<int> pressRgba(double c, double m, double y, double k) {
    const auto rgb = press(c, m, y, k);
    return {int(std::lround(rgb[0] * 255)), int(std::lround(rgb[1] * 255)), int(std::lround(rgb[2] * 255)), 255};
}

std::vector<std::uint8_t> cmykPressProfile() {
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHPROFILE lab = cmsCreateLab2Profile(nullptr);
    cmsHTRANSFORM toLab = cmsCreateTransform(srgb, TYPE_RGB_DBL, lab, TYPE_Lab_DBL, INTENT_RELATIVE_COLORIMETRIC, 0);
    cmsCloseProfile(srgb);
    cmsCloseProfile(lab);

    cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(profile, 2.1);
    cmsSetDeviceClass(profile, cmsSigOutputClass);
    cmsSetColorSpace(profile, cmsSigCmykData);
    cmsSetPCS(profile, cmsSigLabData);
    cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsPipeline* table = cmsPipelineAlloc(nullptr, 4, 3);
    cmsStage* grid = cmsStageAllocCLut16bit(nullptr, 5, 4, 3, nullptr);
    cmsStageSampleCLut16bit(grid, sampleAsLab, toLab, 0);
    cmsPipelineInsertStage(table, cmsAT_BEGIN, grid);
    cmsWriteTag(profile, cmsSigAToB0Tag, table);
    cmsPipelineFree(table);
    cmsDeleteTransform(toLab);
    return saveProfile(profile);
}

} // namespace pellora::test
