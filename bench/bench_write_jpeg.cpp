// Exporting a 24-megapixel JPEG fitted into 1024 x 768 as a JPEG (quality
// 0.8, metadata kept, turned upright): PelloraImage::writeToPath against
// vipsthumbnail on the same file and box, in the same run. Usage:
// bench_write_jpeg [photo.jpg]; without a file, a 6000 x 4000 picture is made
// in a temporary folder. vipsthumbnail (Debian's libvips-tools) is optional;
// its time includes starting the process.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

#include "BenchPictures.h"
#include "BenchSupport.h"
#include "model/PelloraImage.h"
#include "model/Settings.h"

using namespace pellora;

int main(int argc, char** argv) {
    char pattern[] = "/tmp/bench_write_jpeg.XXXXXX";
    if (!::mkdtemp(pattern)) return 1;
    const std::string folder = pattern;
    // The settings store is the user's own: keep the benchmark's defaults out of it.
    ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    registerDefaults();

    std::string path = argc > 1 ? argv[1] : folder + "/photo.jpg";
    if (argc <= 1 && !bench::makePhotoLikeJpeg(path, 6000, 4000)) return 1;
    PelloraImage record(path);
    record.setMaxWidth(1024);
    record.setMaxHeight(768);
    const Size input = record.inputSize();
    const Size output = record.outputSize();
    std::printf("%s: %.0f x %.0f -> %.0f x %.0f\n", path.c_str(), input.width, input.height, output.width,
                output.height);

    constexpr int runs = 7;
    const std::string ours = folder + "/pellora.jpg";
    const double pellora = bench::medianMilliseconds(runs, [&] {
        return record.writeToPath(ours, kImageTypeJPEG, {{kImageDestinationLossyCompressionQuality, 0.8}});
    });
    std::printf("writeToPath:   median %7.1f ms (%d runs)\n", pellora, runs);

    const std::string command = "vipsthumbnail '" + path + "' --size 1024x768 -o '" + folder + "/vips.jpg[Q=80]'";
    if (std::system("command -v vipsthumbnail > /dev/null") == 0) {
        const double vips = bench::medianMilliseconds(runs, [&] { return std::system(command.c_str()) == 0; });
        std::printf("vipsthumbnail: median %7.1f ms (%d runs, process start included)\n", vips, runs);
        std::printf("ratio writeToPath / vipsthumbnail: %.2f\n", pellora / vips);
    } else {
        std::printf("vipsthumbnail: not installed (apt-get install libvips-tools)\n");
    }
    for (const std::string& file : {ours, folder + "/vips.jpg", folder + "/photo.jpg", folder + "/pellora/Pellora.plist"}) {
        std::remove(file.c_str());
    }
    ::rmdir((folder + "/pellora").c_str());
    ::rmdir(folder.c_str());
    return 0;
}
