// Picture decoding: fixtures made with ImageMagick go into a PDF and come
// back out through poppler's pdfimages pixel for pixel (JPEG byte for
// byte); damaged and oversized pictures are refused or decoded as far as
// their data goes.
#include "engine/topdf/tests/topdftestutil.h"
#include "engine/topdf/topdf.h"

#include <filesystem>
#include <map>

namespace {

using namespace topdftest;
namespace fs = std::filesystem;

class Pictures : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = new testutil::TempDir;
        names_ = MakePictureFixtures(dir_->str() + "fixtures");
    }
    static void TearDownTestSuite()
    {
        delete dir_;
        dir_ = nullptr;
    }
    static std::string fixture(const std::string& name) { return dir_->str() + "fixtures/" + name; }

    // One picture in a PDF of its own; the PDF's path.
    static std::string PictureToPdf(const std::string& name)
    {
        const std::string pdf = dir_->str() + name + ".pdf";
        const std::string bytes = testutil::ReadFile(fixture(name));
        void* handle = nullptr;
        initpdf(utf8::ToWide(pdf).c_str(), &handle, 8.5, 11, 0, 0, KIND_PICTURES);
        EXPECT_TRUE(jpgtopdf(bytes.data(), static_cast<unsigned>(bytes.size()), handle)) << name;
        EXPECT_GT(endpdf(handle), 0u) << name;
        return pdf;
    }

    static testutil::TempDir* dir_;
    static std::vector<std::string> names_;
};

testutil::TempDir* Pictures::dir_ = nullptr;
std::vector<std::string> Pictures::names_;

bool IsJpeg(const std::string& name)
{
    return name.size() > 4 && name.substr(name.size() - 4) == ".jpg";
}

TEST_F(Pictures, EveryFixtureComesBackPixelForPixel)
{
    ASSERT_GE(names_.size(), 18u);
    for (const std::string& name : names_) {
        if (IsJpeg(name))
            continue;
        SCOPED_TRACE(name);
        const std::string pdf = PictureToPdf(name);
        EXPECT_EQ(QpdfProblems(pdf), "");
        const std::string prefix = dir_->str() + "out-" + name;
        int status = -1;
        Shell("pdfimages -png " + Quote(pdf) + " " + Quote(prefix), &status);
        ASSERT_EQ(status, 0);
        const std::string compared = Shell("/usr/bin/python3 " TRANCEL_SOURCE_DIR
                                         "/engine/topdf/tests/imagecompare.py " +
                                             Quote(fixture(name)) + " " + Quote(prefix + "-000.png") + " 2>&1",
                                         &status);
        EXPECT_EQ(status, 0) << compared;
    }
}

TEST_F(Pictures, JpegFilesAreEmbeddedUnchangedWithTheirColourSpace)
{
    const std::map<std::string, std::string> spaces = {
        {"baseline.jpg", "rgb"}, {"progressive.jpg", "rgb"}, {"grey.jpg", "gray"}, {"cmyk.jpg", "cmyk"}};
    for (const auto& [name, space] : spaces) {
        SCOPED_TRACE(name);
        const std::string pdf = PictureToPdf(name);
        EXPECT_EQ(QpdfProblems(pdf), "");
        const std::string prefix = dir_->str() + "jpg-" + name;
        int status = -1;
        Shell("pdfimages -j " + Quote(pdf) + " " + Quote(prefix), &status);
        ASSERT_EQ(status, 0);
        EXPECT_EQ(testutil::ReadFile(prefix + "-000.jpg"), testutil::ReadFile(fixture(name)));
        const std::string list = Shell("pdfimages -list " + Quote(pdf));
        EXPECT_NE(list.find(" " + space + " "), std::string::npos) << list;
    }
    // Adobe's CMYK stores inverted inks, and the image says so.
    EXPECT_NE(PageContent(PictureToPdf("cmyk.jpg"), 1).find("Do"), std::string::npos);
    const std::string cmykPdf = testutil::ReadFile(dir_->str() + "cmyk.jpg.pdf");
    EXPECT_NE(cmykPdf.find("/DeviceCMYK/Decode[1 0 1 0 1 0 1 0]"), std::string::npos);
}

TEST_F(Pictures, EveryTruncationIsRefusedOrDecodedAsFarAsItsData)
{
    for (const std::string& name : names_) {
        SCOPED_TRACE(name);
        const std::string bytes = testutil::ReadFile(fixture(name));
        const auto* b = reinterpret_cast<const std::uint8_t*>(bytes.data());
        DecodedImage full;
        int width = 0, height = 0;
        ASSERT_TRUE(decodeImagePixels(sniffImageType(bytes.size(), b, width, height), b, bytes.size(), full));
        for (std::size_t n = 0; n < bytes.size(); ++n) {
            // A copy of exactly n bytes, so that the sanitizers see any read
            // past the end.
            std::vector<std::uint8_t> cut(b, b + n);
            const ImageType type = sniffImageType(n, cut.data(), width, height);
            DecodedImage img;
            const bool decoded = decodeImagePixels(type, cut.data(), n, img);
            if (!decoded) {
                EXPECT_TRUE(img.samples.empty());
                continue;
            }
            EXPECT_EQ(img.width, full.width);
            EXPECT_EQ(img.height, full.height);
            if (full.type == IMAGE_JPEG) {
                EXPECT_EQ(img.samples, cut);   // passed through as it stands
            } else if (full.type == IMAGE_BMP) {
                // Rows the file still holds are as before; the rest is zero.
                ASSERT_EQ(img.samples.size(), full.samples.size());
                for (std::size_t i = 0; i < img.samples.size(); ++i) {
                    if (img.samples[i] != full.samples[i]) {
                        ASSERT_EQ(img.samples[i], 0) << "at " << i << " of " << n << " bytes";
                    }
                }
            }
        }
    }
}

// A PNG header of the given size with one tiny IDAT chunk.
std::string PngHeader(std::uint32_t width, std::uint32_t height)
{
    std::string png("\x89PNG\r\n\x1a\n", 8);
    auto chunk = [&](const std::string& type, const std::string& data) {
        const std::uint32_t n = static_cast<std::uint32_t>(data.size());
        png += std::string{char(n >> 24), char(n >> 16), char(n >> 8), char(n)};
        png += type + data + std::string(4, '\0');
    };
    std::string ihdr;
    for (std::uint32_t v : {width, height})
        ihdr += std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    ihdr += std::string("\x08\x02\x00\x00\x00", 5);
    chunk("IHDR", ihdr);
    chunk("IDAT", std::string("\x78\x9c\x03\x00\x00\x00\x00\x01", 8));
    chunk("IEND", "");
    return png;
}

TEST(PictureDecoding, HeadersOfHugePicturesAreRefusedWithoutAllocating)
{
    std::string gif = "GIF89a";
    gif += std::string("\xff\xff\xff\xff\x80\x00\x00", 7) + std::string(6, '\0');   // screen, 2 colours
    gif += std::string("\x2c\x00\x00\x00\x00\xff\xff\xff\xff\x00\x02\x02\x44\x01\x00\x3b", 16);
    std::string bmp = "BM" + std::string(8, '\0') + std::string("\x36\x00\x00\x00\x28\x00\x00\x00", 8);
    bmp += std::string("\xff\xff\x00\x00\xff\xff\x00\x00\x01\x00\x18\x00", 12) + std::string(24, '\0');
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"png 65535 x 65535", PngHeader(65535, 65535)},
        {"png 2^31 - 1 wide", PngHeader(0x7FFFFFFF, 1)},
        {"png 10000 x 10000 from 8 bytes", PngHeader(10000, 10000)},
        {"gif 65535 x 65535", gif},
        {"bmp 65535 x 65535", bmp},
    };
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        const auto* b = reinterpret_cast<const std::uint8_t*>(bytes.data());
        int width = 0, height = 0;
        const ImageType type = sniffImageType(bytes.size(), b, width, height);
        EXPECT_NE(type, IMAGE_UNKNOWN);
        DecodedImage img;
        EXPECT_FALSE(decodeImagePixels(type, b, bytes.size(), img));
    }
}

TEST(PictureDecoding, SniffingByHeaders)
{
    struct Case {
        const char* what;
        std::string bytes;
        ImageType type;
        int width, height;
    };
    std::string iendFirst("\x89PNG\r\n\x1a\n\0\0\0\0IEND\xae\x42\x60\x82", 20);
    iendFirst += PngHeader(5, 5).substr(8);
    const std::vector<Case> cases = {
        {"png", PngHeader(300, 20), IMAGE_PNG, 300, 20},
        {"png whose first chunk is IEND", iendFirst, IMAGE_UNKNOWN, 0, 0},
        {"png cut inside IHDR", PngHeader(5, 5).substr(0, 20), IMAGE_UNKNOWN, 0, 0},
        {"progressive jpeg", std::string("\xff\xd8\xff\xe0\x00\x04\x00\x00\xff\xc2\x00\x0b\x08\x00\x07\x00\x09\x01\x01\x11\x00", 21), IMAGE_JPEG, 9, 7},
        {"jpeg scan before any frame", std::string("\xff\xd8\xff\xda\x00\x04\x00\x00\xff\xc0\x00\x0b\x08\x00\x07\x00\x09\x01", 18), IMAGE_UNKNOWN, 0, 0},
        {"arithmetic-coded jpeg", std::string("\xff\xd8\xff\xc9\x00\x0b\x08\x00\x07\x00\x09\x01\x01\x11\x00", 15), IMAGE_UNKNOWN, 0, 0},
        {"gif", std::string("GIF87a\x10\x00\x08\x00\x00\x00\x00", 13), IMAGE_GIF, 16, 8},
        {"text", "hello, world", IMAGE_UNKNOWN, 0, 0},
        {"empty", "", IMAGE_UNKNOWN, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        int width = -1, height = -1;
        EXPECT_EQ(sniffImageType(c.bytes.size(), reinterpret_cast<const std::uint8_t*>(c.bytes.data()), width, height),
                  c.type);
        EXPECT_EQ(width, c.width);
        EXPECT_EQ(height, c.height);
    }
}

} // namespace
