#include <gtest/gtest.h>

#include <map>

#include "model/PelloraImage.h"
#include "model/PipelineTestSupport.h"
#include "platform/imageio/ImageProperties.h"
#include "platform/imageio/TypeIdentifiers.h"
#include "support/ExifTool.h"

// Real cameras' maker notes (tests/data/camera/README.md) exported through the
// pipeline: exiftool must read in the output the maker-note tags it reads in
// the source, whatever the maker note's format and whether Exiv2 decodes it.
namespace pellora {
namespace {

using Tags = std::map<std::string, std::string>;

const std::string camera = std::string(PELLORA_TEST_DATA_DIR) + "/camera";
const std::vector<std::string> cameras{"Apple", "Canon", "Kodak", "Nikon", "Olympus2",
                                       "Panasonic", "Pentax", "Ricoh2", "Sanyo"};
constexpr const char* kMakerNotes = "-MakerNotes:all";

// The source's maker-note tags that the output holds with the same value.
std::size_t keptTags(const Tags& source, const Tags& output, std::string& lost) {
    std::size_t kept = 0;
    for (const auto& [tag, value] : source) {
        const auto found = output.find(tag);
        if (found != output.end() && found->second == value) {
            ++kept;
        } else {
            lost += " " + tag;
        }
    }
    return kept;
}

void expectMostTagsKept(const Tags& source, const Tags& output) {
    std::string lost;
    const std::size_t kept = keptTags(source, output, lost);
    EXPECT_GE(kept * 10, source.size() * 9) << kept << " of " << source.size() << " kept; lost:" << lost;
}

class MakerNotesExport : public ::testing::Test {
protected:
    void SetUp() override { test::freshSettings(); }

    std::string exportAs(const std::string& name, const char* type, const std::string& extension) {
        const std::string output = dir.file(name + "." + extension);
        EXPECT_TRUE(PelloraImage(camera + "/" + name + ".jpg")
                        .writeToPath(output, type, {{kImageDestinationLossyCompressionQuality, 0.9}}))
            << output;
        return output;
    }

    test::TempDir dir;
};

TEST_F(MakerNotesExport, everyCamerasMakerNoteReadsBackFromJpegPngAndJpeg2000Outputs) {
    const std::vector<std::pair<const char*, std::string>> formats{
        {kImageTypeJPEG, "jpg"}, {kImageTypePNG, "png"}, {kImageTypeJPEG2000, "jp2"}};
    std::vector<std::string> files;
    for (const std::string& name : cameras) {
        files.push_back(camera + "/" + name + ".jpg");
        for (const auto& [type, extension] : formats) files.push_back(exportAs(name, type, extension));
    }
    const auto tags = test::exifToolTagsOfEach(files, kMakerNotes);
    const std::size_t perCamera = formats.size() + 1;
    for (std::size_t i = 0; i < files.size(); i += perCamera) {
        const Tags& source = tags[i];
        ASSERT_GT(source.size(), 5u) << files[i] << ": exiftool reads no maker note in the source";
        for (std::size_t k = 1; k < perCamera; ++k) {
            SCOPED_TRACE(files[i + k]);
            expectMostTagsKept(source, tags[i + k]);
        }
    }
}

// A TIFF file's layout is its encoder's: a maker note that Exiv2 rewrites is
// kept, any other is left out with a log line; the file is whole either way.
TEST_F(MakerNotesExport, aTiffOutputKeepsAMakerNoteWholeOrLeavesItOutAndSaysSo) {
    for (const std::string& name : cameras) {
        SCOPED_TRACE(name);
        test::LogCapture log;
        const std::string output = exportAs(name, kImageTypeTIFF, "tiff");
        const auto tags = test::exifToolTagsOfEach({camera + "/" + name + ".jpg", output}, kMakerNotes);
        ASSERT_NE(test::decodeFile(output), nullptr);
        if (tags[1].empty()) {
            EXPECT_TRUE(log.contains("Leaving out a maker note"));
        } else {
            expectMostTagsKept(tags[0], tags[1]);
        }
        EXPECT_EQ(test::exifToolTags(output).count("IFD0:Make"), 1u);
    }
}

} // namespace
} // namespace pellora
