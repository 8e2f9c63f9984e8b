#include "tests/support/ReferenceImage.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace testimage {

namespace {

struct File {
    explicit File(FILE* f) : handle(f) {}
    ~File()
    {
        if (handle)
            std::fclose(handle);
    }
    FILE* handle;
};

}  // namespace

bool readPng(const std::string& path, Image& image)
{
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str()))
        return false;
    png.format = PNG_FORMAT_RGB;
    std::vector<png_byte> rgb(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, rgb.data(), 0, nullptr)) {
        png_image_free(&png);
        return false;
    }
    image.width = int32_t(png.width);
    image.height = int32_t(png.height);
    image.pixels.resize(size_t(image.width) * size_t(image.height));
    for (size_t i = 0; i < image.pixels.size(); ++i)
        image.pixels[i] = (uint32_t(rgb[3 * i]) << 16) | (uint32_t(rgb[3 * i + 1]) << 8) | rgb[3 * i + 2];
    return true;
}

bool writePng(const std::string& path, const Image& image)
{
    std::vector<png_byte> rgb(image.pixels.size() * 3);
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        rgb[3 * i] = png_byte(image.pixels[i] >> 16);
        rgb[3 * i + 1] = png_byte(image.pixels[i] >> 8);
        rgb[3 * i + 2] = png_byte(image.pixels[i]);
    }
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = png_uint_32(image.width);
    png.height = png_uint_32(image.height);
    png.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&png, path.c_str(), 0, rgb.data(), 0, nullptr) != 0;
}

std::string outputDir()
{
    const std::string dir = KORVALEX_TEST_OUTPUT_DIR;
    std::filesystem::create_directories(dir);
    return dir;
}

::testing::AssertionResult matchesReference(const Image& actual, const std::string& referenceDir,
                                            const std::string& name)
{
    const std::string referencePath = referenceDir + "/" + name + ".png";
    const char* update = std::getenv("KORVALEX_UPDATE_REFERENCES");
    if (update && std::string(update) == "1") {
        if (!writePng(referencePath, actual))
            return ::testing::AssertionFailure() << "cannot write " << referencePath;
        return ::testing::AssertionSuccess() << "reference rewritten";
    }
    Image expected;
    const bool found = readPng(referencePath, expected);
    size_t differing = 0;
    if (found && expected.width == actual.width && expected.height == actual.height)
        for (size_t i = 0; i < actual.pixels.size(); ++i)
            differing += actual.pixels[i] != expected.pixels[i];
    if (found && expected.width == actual.width && expected.height == actual.height && differing == 0)
        return ::testing::AssertionSuccess();

    const std::string actualPath = outputDir() + "/" + name + ".actual.png";
    writePng(actualPath, actual);
    auto failure = ::testing::AssertionFailure();
    if (!found)
        return failure << "no reference " << referencePath << "; the actual picture is " << actualPath
                       << " (KORVALEX_UPDATE_REFERENCES=1 makes it the reference)";
    if (expected.width != actual.width || expected.height != actual.height)
        return failure << name << ": size " << actual.width << "x" << actual.height << ", reference "
                       << expected.width << "x" << expected.height << "; actual picture " << actualPath;
    Image diff = actual;
    for (size_t i = 0; i < diff.pixels.size(); ++i) {
        const uint32_t p = expected.pixels[i];
        const uint32_t faded = (((p >> 16 & 0xFF) / 4 + 160) << 16) | (((p >> 8 & 0xFF) / 4 + 160) << 8) |
                               ((p & 0xFF) / 4 + 160);
        diff.pixels[i] = actual.pixels[i] != p ? 0xFF0000u : faded;
    }
    const std::string diffPath = outputDir() + "/" + name + ".diff.png";
    writePng(diffPath, diff);
    return failure << name << ": " << differing << " pixels differ from " << referencePath << "; see " << actualPath
                   << " and " << diffPath;
}

}  // namespace testimage
