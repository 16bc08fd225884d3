// The window icon: the program carries the packaged icon and decodes it whole, alpha included;
// PNG data that is broken, cut short or too large is refused without a crash.
#include "gui/host/host_icon.h"

#include <gtest/gtest.h>
#include <png.h>

#include <string>
#include <vector>

namespace {

// A w x h RGBA PNG in memory, every pixel the same.
std::vector<uint8_t> MakePng(int width, int height) {
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4, 0x80);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr)) return {};
    std::vector<uint8_t> png(size);
    if (!png_image_write_to_memory(&image, png.data(), &size, 0, pixels.data(), 0, nullptr))
        return {};
    png.resize(size);
    return png;
}

} // namespace

TEST(HostIcon, TheProgramCarriesThePackagedIconWithItsTransparency) {
    HOSTICON_Image icon;
    ASSERT_TRUE(HOSTICON_Get(&icon));
    ASSERT_EQ(icon.width, 128);
    ASSERT_EQ(icon.height, 128);
    ASSERT_EQ(icon.rgba.size(), 128u * 128u * 4u);

    // The same pixels as the packaged file: the build embedded the right file, unchanged.
    const std::string path =
        std::string(VELTRA_SOURCE_DIR) + "/packaging/icons/org.veltra.VeltraDesktop-128.png";
    png_image file{};
    file.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&file, path.c_str())) << path;
    file.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> expected(PNG_IMAGE_SIZE(file));
    ASSERT_TRUE(png_image_finish_read(&file, nullptr, expected.data(), 0, nullptr));
    EXPECT_EQ(icon.rgba, expected);

    // The rounded corners stay see-through, the middle is solid.
    const auto alpha = [&](int x, int y) { return icon.rgba[(y * 128 + x) * 4 + 3]; };
    EXPECT_EQ(alpha(0, 0), 0);
    EXPECT_EQ(alpha(127, 127), 0);
    EXPECT_EQ(alpha(64, 64), 255);
}

TEST(HostIcon, RefusesBrokenShortAndOversizedPngs) {
    HOSTICON_Image image;
    const std::vector<uint8_t> small = MakePng(3, 2);
    ASSERT_FALSE(small.empty());
    ASSERT_TRUE(HOSTICON_Decode(small.data(), small.size(), &image));
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.rgba, std::vector<uint8_t>(3 * 2 * 4, 0x80));

    // Each refusal leaves the image empty, also after a good decode.
    const auto refused = [&](const uint8_t* data, size_t size) {
        image = HOSTICON_Image{7, 7, {1, 2, 3}};
        return !HOSTICON_Decode(data, size, &image) && image.width == 0 && image.height == 0 &&
               image.rgba.empty();
    };
    EXPECT_TRUE(refused(nullptr, 0));
    EXPECT_TRUE(refused(small.data(), 0));
    EXPECT_TRUE(refused(small.data(), 8)); // the signature alone
    EXPECT_TRUE(refused(small.data(), small.size() / 2));
    const std::vector<uint8_t> garbage(500, 0x5A);
    EXPECT_TRUE(refused(garbage.data(), garbage.size()));
    const std::vector<uint8_t> large = MakePng(HOSTICON_SIZE_MAX + 1, 4);
    ASSERT_FALSE(large.empty());
    EXPECT_TRUE(refused(large.data(), large.size()));
    const std::vector<uint8_t> largest = MakePng(HOSTICON_SIZE_MAX, HOSTICON_SIZE_MAX);
    EXPECT_TRUE(HOSTICON_Decode(largest.data(), largest.size(), &image));

    EXPECT_FALSE(HOSTICON_Decode(small.data(), small.size(), nullptr));
}
