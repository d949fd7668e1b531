// WMF and EMF files loaded into the current image with MAV_LoadImage: drawn
// at their own size where the caller says, white where they draw nothing, and
// a damaged one refused with the image left alone.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "drawing_test_support.h"
#include "mavlib.h"
#include "support/metafile_bytes.h"
#include "support/temp_folder.h"

using drawtest::ScratchImage;
using testsupport::Box;

namespace {

constexpr std::uint32_t kBrush = 0x40A020;
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kBefore = 0x0000AA;

class ImageMetafiles : public ::testing::Test {
protected:
    std::string write(const std::string& name, const testsupport::MetafileBytes& b) {
        const std::string p = dir_.file(name);
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
        return p;
    }
    testsupport::TempFolder dir_{"metafiles_"};
};

}  // namespace

TEST_F(ImageMetafiles, WmfAndEmfLoadAtTheirOwnSizeWhereAsked) {
    // Both are 40 x 20 pixels with the rectangle (10, 5) .. (30, 15) filled.
    const std::string wmf = write("chart.wmf", testsupport::wmf_file({.placeable_box = Box{0, 0, 80, 40},
                                                                      .units_per_inch = 192,
                                                                      .window_extent = {{80, 40}},
                                                                      .rectangle = {20, 10, 60, 30},
                                                                      .brush = kBrush}));
    const std::string emf = write("chart.emf", testsupport::emf_file({.bounds = {0, 0, 39, 19},
                                                                      .frame = {0, 0, 1058, 529},
                                                                      .rectangle = {10, 5, 30, 15},
                                                                      .brush = kBrush}));
    for (const std::string& file : {wmf, emf}) {
        ScratchImage img(60, 40);
        img.fill(kBefore);
        ASSERT_EQ(MAV_LoadImage(file.c_str(), 15, 12), 0) << file;
        EXPECT_EQ(img.at(20, 17), kWhite) << file << ": inside the picture, outside the rectangle";
        EXPECT_EQ(img.at(30, 22), kBrush) << file;
        EXPECT_EQ(img.at(15 + 39, 12 + 19), kWhite) << file << ": the picture's last pixel";
        EXPECT_EQ(img.at(15 + 40, 12 + 19), kBefore) << file << ": right of the picture";
        EXPECT_EQ(img.at(15 + 39, 12 + 20), kBefore) << file << ": below the picture";
        EXPECT_EQ(img.at(14, 12), kBefore) << file << ": left of the picture";
    }
}

TEST_F(ImageMetafiles, DamagedMetafileGivesOneAndLeavesTheImageAlone) {
    testsupport::MetafileBytes wmf =
        testsupport::wmf_file({.window_extent = {{40, 20}}, .rectangle = {10, 5, 30, 15}, .brush = kBrush});
    wmf.resize(wmf.size() - 6);  // no end record
    const std::string file = write("cut.wmf", wmf);
    ScratchImage img(8, 8);
    img.fill(kBefore);
    EXPECT_EQ(MAV_LoadImage(file.c_str(), 0, 0), 1);
    EXPECT_EQ(img.at(0, 0), kBefore);
}
