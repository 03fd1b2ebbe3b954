#include "api/EmbeddedPicture.h"

#include "library/LibraryText.h"

#include <taglib/asffile.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

#include <vector>

namespace lyrebox {

namespace {

// The pictures found, each with whether it is marked as the front cover.
struct Candidate {
    TagLib::ByteVector data;
    bool front = false;
};

void fromId3v2(TagLib::ID3v2::Tag* tag, std::vector<Candidate>& out) {
    if (tag == nullptr) return;
    for (TagLib::ID3v2::Frame* frame : tag->frameList("APIC")) {
        const auto* picture = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(frame);
        if (picture == nullptr) continue;
        out.push_back({picture->picture(), picture->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover});
    }
}

void fromFlacPictures(const TagLib::List<TagLib::FLAC::Picture*>& pictures, std::vector<Candidate>& out) {
    for (const TagLib::FLAC::Picture* picture : pictures) {
        out.push_back({picture->data(), picture->type() == TagLib::FLAC::Picture::FrontCover});
    }
}

void fromXiph(TagLib::Ogg::XiphComment* comment, std::vector<Candidate>& out) {
    if (comment != nullptr) fromFlacPictures(comment->pictureList(), out);
}

std::vector<Candidate> collect(const std::string& path) {
    std::vector<Candidate> found;
    const std::string ext = fileExtension(baseName(path));
    const char* name = path.c_str();
    if (ext == "mp3") {
        TagLib::MPEG::File file(name, false);
        if (file.isValid()) fromId3v2(file.ID3v2Tag(), found);
    } else if (ext == "wav") {
        TagLib::RIFF::WAV::File file(name, false);
        if (file.isValid()) fromId3v2(file.ID3v2Tag(), found);
    } else if (ext == "flac") {
        TagLib::FLAC::File file(name, false);
        if (file.isValid()) fromFlacPictures(file.pictureList(), found);
    } else if (ext == "mp4" || ext == "m4a") {
        TagLib::MP4::File file(name, false);
        if (file.isValid() && file.tag() != nullptr && file.tag()->contains("covr")) {
            for (const TagLib::MP4::CoverArt& art : file.tag()->item("covr").toCoverArtList())
                found.push_back({art.data(), true});
        }
    } else if (ext == "ogg" || ext == "opus") {
        TagLib::Ogg::Vorbis::File vorbis(name, false);
        if (vorbis.isValid()) {
            fromXiph(vorbis.tag(), found);
        } else {
            TagLib::Ogg::Opus::File opus(name, false);
            if (opus.isValid()) fromXiph(opus.tag(), found);
        }
    } else if (ext == "wma") {
        TagLib::ASF::File file(name, false);
        if (file.isValid() && file.tag() != nullptr) {
            const auto& attributes = file.tag()->attributeListMap();
            const auto it = attributes.find("WM/Picture");
            if (it != attributes.end()) {
                for (const TagLib::ASF::Attribute& attribute : it->second) {
                    const TagLib::ASF::Picture picture = attribute.toPicture();
                    if (picture.isValid())
                        found.push_back({picture.picture(), picture.type() == TagLib::ASF::Picture::FrontCover});
                }
            }
        }
    }
    return found;
}

}  // namespace

std::string readEmbeddedPicture(const std::string& path, std::size_t maxBytes) {
    try {
        std::vector<Candidate> found = collect(path);
        const Candidate* best = nullptr;
        for (const Candidate& candidate : found) {
            if (candidate.data.isEmpty() || candidate.data.size() > maxBytes) continue;
            if (best == nullptr || (candidate.front && !best->front)) best = &candidate;
        }
        if (best == nullptr) return {};
        return std::string(best->data.data(), best->data.size());
    } catch (...) {
        // A damaged file (or no memory for its tag) has no usable picture.
        return {};
    }
}

}  // namespace lyrebox
