// Cover art: the lookup order (embedded picture, then cover, folder, front as
// .jpg, .jpeg, .png in any letter case), what counts as an image, and the
// "cover" answer with its validator, 304 and 404.
#include "tests/support/CheckedServer.h"
#include "tests/support/FakePlayer.h"
#include "api/CoverArt.h"
#include "api/RemoteLimits.h"
#include "config/Settings.h"
#include "library/LibraryText.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <taglib/attachedpictureframe.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <fstream>

#include <sys/stat.h>

namespace lyrebox {
namespace {

using test::CheckedServer;
using test::FakePlayer;
using test::TempDir;

const std::string kJpeg = std::string("\xFF\xD8\xFF\xE0", 4) + "a jpeg picture";
const std::string kOtherJpeg = std::string("\xFF\xD8\xFF\xE1", 4) + "another jpeg";
const std::string kPng = std::string("\x89PNG\r\n\x1A\n", 8) + "a png picture";

void writeBytes(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// A few silent MPEG-1 layer III frames (128 kbit/s, 44.1 kHz: 417 bytes each),
// enough for TagLib to take the file as MP3; with a picture in its ID3v2 tag
// when one is given.
std::string writeMp3(const std::string& path, const std::string& picture = {},
                     TagLib::ID3v2::AttachedPictureFrame::Type type = TagLib::ID3v2::AttachedPictureFrame::FrontCover) {
    std::string frames;
    for (int i = 0; i < 8; ++i) {
        std::string frame(417, '\0');
        frame.replace(0, 4, "\xFF\xFB\x90\x00", 4);
        frames += frame;
    }
    writeBytes(path, frames);
    if (!picture.empty()) {
        TagLib::MPEG::File file(path.c_str(), false);
        auto* frame = new TagLib::ID3v2::AttachedPictureFrame;  // owned by the tag once added
        frame->setMimeType("image/jpeg");
        frame->setType(type);
        frame->setPicture(TagLib::ByteVector(picture.data(), static_cast<unsigned>(picture.size())));
        file.ID3v2Tag(true)->addFrame(frame);
        EXPECT_TRUE(file.save(TagLib::MPEG::File::ID3v2));
    }
    return path;
}

// A FLAC file of one STREAMINFO block (no audio) with a picture block.
std::string writeFlac(const std::string& path, const std::string& picture) {
    std::string bytes = "fLaC";
    bytes += std::string("\x80\x00\x00\x22", 4);
    bytes += std::string("\x10\x00\x10\x00\x00\x00\x00\x00\x00\x00\x0A\xC4\x42\xF0\x00\x00\x00\x00", 18);
    bytes += std::string(16, '\0');
    writeBytes(path, bytes);
    TagLib::FLAC::File file(path.c_str(), false);
    EXPECT_TRUE(file.isValid());
    auto* block = new TagLib::FLAC::Picture;  // owned by the file once added
    block->setType(TagLib::FLAC::Picture::FrontCover);
    block->setMimeType("image/png");
    block->setData(TagLib::ByteVector(picture.data(), static_cast<unsigned>(picture.size())));
    file.addPicture(block);
    EXPECT_TRUE(file.save());
    return path;
}

std::string coverSource(const std::string& path) {
    const auto cover = findCover(path);
    return cover ? cover->source : "none";
}

TEST(ImageType, OnlyJpegAndPngMagicCount) {
    EXPECT_EQ(imageTypeOf(kJpeg), "image/jpeg");
    EXPECT_EQ(imageTypeOf(kPng), "image/png");
    EXPECT_EQ(imageTypeOf("GIF89a..."), "");
    EXPECT_EQ(imageTypeOf("<svg onload=alert(1)>"), "");
    EXPECT_EQ(imageTypeOf(std::string("\xFF\xD8", 2)), "");
    EXPECT_EQ(imageTypeOf(""), "");
}

TEST(FindCover, EmbeddedPictureComesFirst) {
    TempDir tree;
    const std::string song = writeMp3(tree.file("a/song.mp3"), kJpeg);
    writeBytes(tree.file("a/cover.jpg"), kOtherJpeg);
    const auto cover = findCover(song);
    ASSERT_TRUE(cover);
    EXPECT_EQ(cover->source, "embedded");
    EXPECT_EQ(cover->bytes, kJpeg);
    EXPECT_EQ(cover->contentType, "image/jpeg");

    const std::string flac = writeFlac(tree.file("b/song.flac"), kPng);
    const auto flacCover = findCover(flac);
    ASSERT_TRUE(flacCover);
    EXPECT_EQ(flacCover->bytes, kPng);
    EXPECT_EQ(flacCover->contentType, "image/png");
}

TEST(FindCover, AFrontCoverIsPreferredOverOtherEmbeddedPictures) {
    TempDir tree;
    const std::string song = writeMp3(tree.file("song.mp3"), kOtherJpeg, TagLib::ID3v2::AttachedPictureFrame::BackCover);
    {
        TagLib::MPEG::File file(song.c_str(), false);
        auto* front = new TagLib::ID3v2::AttachedPictureFrame;
        front->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
        front->setPicture(TagLib::ByteVector(kJpeg.data(), static_cast<unsigned>(kJpeg.size())));
        file.ID3v2Tag(true)->addFrame(front);
        ASSERT_TRUE(file.save(TagLib::MPEG::File::ID3v2));
    }
    EXPECT_EQ(findCover(song)->bytes, kJpeg);
}

struct FolderCase {
    const char* what;
    std::vector<std::pair<std::string, std::string>> files;  // name, bytes
    std::string expected;  // the chosen file's name, or "none"
};

TEST(FindCover, FolderImagesInOrderIgnoringCase) {
    const std::string bigJpeg = kJpeg + std::string(remote::kMaxCoverBytes, 'x');
    const FolderCase cases[] = {
        {"folder before front", {{"FRONT.PNG", kPng}, {"Folder.jpg", kJpeg}}, "Folder.jpg"},
        {"cover before folder", {{"folder.jpg", kJpeg}, {"Cover.JPEG", kJpeg}}, "Cover.JPEG"},
        {"jpg before png of one name", {{"cover.png", kPng}, {"cover.jpg", kJpeg}}, "cover.jpg"},
        {"png counts", {{"front.png", kPng}}, "front.png"},
        {"not an image by its bytes", {{"cover.jpg", "<html>"}, {"front.png", kPng}}, "front.png"},
        {"over the size limit", {{"cover.jpg", bigJpeg}, {"folder.png", kPng}}, "folder.png"},
        {"other names do not count", {{"albumart.jpg", kJpeg}, {"cover.gif", "GIF89a"}, {"xcover.jpg", kJpeg}}, "none"},
        {"nothing there", {}, "none"},
    };
    for (const FolderCase& c : cases) {
        TempDir tree;
        const std::string song = writeMp3(tree.file("album/song.mp3"));
        for (const auto& [name, bytes] : c.files) writeBytes(tree.file("album/" + name), bytes);
        const std::string expected = c.expected == "none" ? "none" : tree.file("album/" + c.expected);
        EXPECT_EQ(coverSource(song), expected) << c.what;
    }
}

TEST(FindCover, DirectoriesAndOddFiles) {
    TempDir tree;
    writeBytes(tree.file("album/folder.jpg"), kJpeg);
    tree.folder("album/cover.jpg.d");
    EXPECT_EQ(coverSource(tree.file("album")), tree.file("album/folder.jpg")) << "a folder shows its image";
    EXPECT_EQ(coverSource(tree.file("album/")), tree.file("album/folder.jpg"));
    EXPECT_EQ(coverSource(tree.file("album/missing.mp3")), "none");
    // A folder named like an image, or a FIFO, is no picture and does not block.
    tree.folder("odd/cover.jpg");
    ASSERT_EQ(::mkfifo(tree.file("odd/folder.jpg").c_str(), 0600), 0);
    const std::string song = writeMp3(tree.file("odd/song.mp3"));
    EXPECT_EQ(coverSource(song), "none");
    // A damaged "MP3" falls through to the folder.
    writeBytes(tree.file("album/broken.mp3"), "ID3\x04\x00\x00\x7f\x7f\x7f\x7f garbage");
    EXPECT_EQ(coverSource(tree.file("album/broken.mp3")), tree.file("album/folder.jpg"));
}

TEST(CoverEtag, DiffersWithTheBytesAndIsQuoted) {
    EXPECT_EQ(coverEtag(kJpeg), coverEtag(kJpeg));
    EXPECT_NE(coverEtag(kJpeg), coverEtag(kOtherJpeg));
    EXPECT_EQ(coverEtag(kJpeg).front(), '"');
    EXPECT_EQ(coverEtag(kJpeg).back(), '"');
}

class CoverHttpTest : public ::testing::Test {
protected:
    TempDir tree;
    FakePlayer player;
    CheckedServer server{player.mainWindow()};
    std::string song, plain;

    void SetUp() override {
        ASSERT_TRUE(server.started());
        server.router().settings().setSharedDirs({tree.file("music")});
        song = writeMp3(tree.file("music/a/song.mp3"), kJpeg);
        plain = writeMp3(tree.file("music/b/plain.mp3"));
        writeBytes(tree.file("music/b/front.png"), kPng);
        writeMp3(tree.file("private/secret.mp3"), kJpeg);
        player.setEntries({{song, "song"}, {"http://radio.example/x.mp3", "radio"}, {plain, "plain"}});
    }
    test::RawResponse get(const std::string& target, const std::string& extra = {}) {
        return server.request("GET " + target + " HTTP/1.1\r\nHost: localhost\r\n" + extra + "Connection: close\r\n\r\n");
    }
    static std::string encoded(const std::string& path) { return percentEncode(path); }
};

TEST_F(CoverHttpTest, ALibraryFilesCoverWithItsValidator) {
    const auto answer = get("/cover?path=" + encoded(song));
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.header("Content-Type"), "image/jpeg");
    EXPECT_EQ(answer.header("ETag"), coverEtag(kJpeg));
    EXPECT_EQ(answer.header("Cache-Control"), "max-age=3600");
    EXPECT_EQ(answer.header("Last-Modified"), "") << "a date would be answered 304 forever";
    EXPECT_EQ(answer.body, kJpeg);

    const auto again = get("/cover?path=" + encoded(song), "If-None-Match: " + coverEtag(kJpeg) + "\r\n");
    EXPECT_EQ(again.status, 304);
    EXPECT_EQ(again.body, "");
    EXPECT_EQ(again.header("ETag"), coverEtag(kJpeg));

    const auto changed = get("/cover?path=" + encoded(song), "If-None-Match: \"stale\"\r\n");
    EXPECT_EQ(changed.status, 200);
    EXPECT_EQ(get("/cover?path=" + encoded(song), "If-Modified-Since: Thu, 01 Jan 1970 00:00:00 GMT\r\n").status, 304)
        << "the old rule for any If-Modified-Since stays";

    const auto folder = get("/cover?path=" + encoded(plain));
    EXPECT_EQ(folder.status, 200);
    EXPECT_EQ(folder.header("Content-Type"), "image/png");
    EXPECT_EQ(folder.body, kPng);
}

TEST_F(CoverHttpTest, RefusedOrMissingIs404) {
    const std::string targets[] = {
        "/cover",
        "/cover?path=" + encoded(tree.file("private/secret.mp3")),
        "/cover?path=" + encoded(tree.file("music/a/../../private/secret.mp3")),
        "/cover?path=" + encoded(tree.file("music/a/none.mp3")),
        "/cover?path=" + encoded(tree.file("music/b/front.png")),  // not a library file
        "/cover?path=search%3a%2f%2fsong",
        "/cover?index=1",   // a URL
        "/cover?index=7",   // past the end
        "/cover?index=-1",
    };
    for (const std::string& target : targets) {
        const auto answer = get(target);
        EXPECT_EQ(answer.status, 404) << target;
        EXPECT_EQ(answer.header("Content-Type"), "text/html") << target;
    }
}

TEST_F(CoverHttpTest, APlayListEntrysCoverIsNeverCachedBlindly) {
    const auto first = get("/cover?index=0");
    EXPECT_EQ(first.status, 200);
    EXPECT_EQ(first.body, kJpeg);
    EXPECT_EQ(first.header("Cache-Control"), "no-cache");
    const auto third = get("/cover?index=2");
    EXPECT_EQ(third.status, 200);
    EXPECT_EQ(third.body, kPng);
}

}  // namespace
}  // namespace lyrebox
