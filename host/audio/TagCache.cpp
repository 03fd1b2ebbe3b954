#include "host/audio/TagCache.h"

#include "host/audio/AudioEngine.h"
#include "host/audio/GstSupport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <taglib/audioproperties.h>
#include <taglib/fileref.h>
#include <taglib/tfilestream.h>
#include <taglib/infotag.h>
#include <taglib/tag.h>
#include <taglib/tpropertymap.h>
#include <taglib/wavfile.h>

namespace lyrebox {

namespace {

std::string utf8(const TagLib::String& text) { return text.to8Bit(true); }

// Fills empty text fields from another tag (WAV files carry ID3v2 and INFO).
void fillMissing(TrackTags& tags, const TagLib::Tag* tag) {
    if (!tag)
        return;
    if (tags.title.empty()) tags.title = utf8(tag->title());
    if (tags.artist.empty()) tags.artist = utf8(tag->artist());
    if (tags.album.empty()) tags.album = utf8(tag->album());
    if (tags.genre.empty()) tags.genre = utf8(tag->genre());
    if (tags.comment.empty()) tags.comment = utf8(tag->comment());
    if (tags.year == 0) tags.year = tag->year();
    if (tags.track == 0) tags.track = tag->track();
}

// A read-only stream over an open descriptor (which it then owns) that
// reports the file's path as its name, so that TagLib picks the format by
// the file's extension as it does for a path.
class NamedDescriptorStream : public TagLib::FileStream {
public:
    NamedDescriptorStream(int fd, std::string path) : TagLib::FileStream(fd, true), path_(std::move(path)) {}
    TagLib::FileName name() const override { return path_.c_str(); }

private:
    std::string path_;
};

}  // namespace

bool isUrlLocation(const std::string& location) {
    return location.starts_with("http://") || location.starts_with("https://");
}

TrackTags readFileTags(const std::string& path) {
    TrackTags tags;
    // Opened without waiting and checked before anything reads it: a FIFO or
    // a device with a music name would otherwise hold the caller (the
    // player's window thread) in open or read for good. TagLib then reads
    // through this very descriptor, so the file checked is the file read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return tags;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return tags;
    }
    NamedDescriptorStream stream(fd, path);
    if (!stream.isOpen())
        return tags;
    TagLib::FileRef file(&stream, true, TagLib::AudioProperties::Average);
    if (file.isNull())
        return tags;
    tags.readable = true;
    fillMissing(tags, file.tag());
    // FileRef's tag of a WAV file is its ID3v2 chunk only; most writers use INFO.
    if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(file.file()))
        fillMissing(tags, wav->InfoTag());
    if (const TagLib::AudioProperties* props = file.audioProperties()) {
        tags.lengthMs = props->lengthInMilliseconds();
        tags.bitrateKbps = props->bitrate();
        tags.sampleRate = props->sampleRate();
        tags.channels = props->channels();
    }
    if (tags.lengthMs < 0)
        tags.lengthMs = 0;
    return tags;
}

TrackTags TagCache::lookup(const std::string& location) {
    const bool url = isUrlLocation(location);
    struct stat info {};
    if (!url && ::stat(location.c_str(), &info) != 0)
        return {};  // missing now; not cached, it may appear later
    const std::int64_t mtimeNs =
        url ? 0 : static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    const std::int64_t size = url ? 0 : static_cast<std::int64_t>(info.st_size);
    {
        std::lock_guard lock(mutex_);
        auto it = slots_.find(location);
        if (it != slots_.end() && it->second.mtimeNs == mtimeNs && it->second.size == size)
            return it->second.tags;
    }
    // Read outside the lock: a slow stream must not stall look-ups of files.
    TrackTags tags = url ? discoverTags(location) : readFileTags(location);
    std::lock_guard lock(mutex_);
    if (slots_.size() >= kMaxEntries)
        slots_.clear();
    slots_[location] = Slot{mtimeNs, size, tags};
    return tags;
}

void TagCache::clear() {
    std::lock_guard lock(mutex_);
    slots_.clear();
}

}  // namespace lyrebox
